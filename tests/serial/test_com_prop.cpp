// Line settings: defaults and the conversion to and from the line-settings record.
#include "com_prop.h"

#include <gtest/gtest.h>

namespace karvel {
namespace {

TEST(ComProp, NewSettingsAre110Baud5DataBitsNoParityOneStopBit)
{
    const TComProp prop;
    EXPECT_EQ(prop.BaudRate(), TBaudRate::br110);
    EXPECT_EQ(prop.ByteSize(), TByteSize::bs5);
    EXPECT_EQ(prop.Parity(), TParity::ptNONE);
    EXPECT_EQ(prop.Stopbits(), TStopbits::sb1BITS);
}

TEST(ComProp, ReadRecordHoldsOnlyTheBinaryFlagAndTheSettings)
{
    TComProp prop;
    prop.SetBaudRate(TBaudRate::br19200);
    prop.SetByteSize(TByteSize::bs7);
    prop.SetParity(TParity::ptEVEN);
    prop.SetStopbits(TStopbits::sb2BITS);
    const TDCB dcb = prop.DCB();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.Flags, TDCB::fBinary);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, 2);
    EXPECT_EQ(dcb.StopBits, 2);
}

struct RecordCase {
    uint32_t rate;
    uint8_t byteSize, parity, stopBits;
    TBaudRate baud;
    TByteSize size;
    TParity par;
    TStopbits stop;
};

class ComPropWrite : public ::testing::TestWithParam<RecordCase> { };

TEST_P(ComPropWrite, TakesRateByExactMatchAndTheCodes)
{
    const RecordCase& c = GetParam();
    TComProp prop;
    prop.SetBaudRate(TBaudRate::br115200); // nothing of the old settings may survive
    prop.SetByteSize(TByteSize::bs9);
    TDCB dcb;
    dcb.BaudRate = c.rate;
    dcb.ByteSize = c.byteSize;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stopBits;
    prop.SetDCB(dcb);
    EXPECT_EQ(prop.BaudRate(), c.baud);
    EXPECT_EQ(prop.ByteSize(), c.size);
    EXPECT_EQ(prop.Parity(), c.par);
    EXPECT_EQ(prop.Stopbits(), c.stop);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ComPropWrite,
    ::testing::Values(RecordCase {4800, 8, 0, 0, TBaudRate::br4800, TByteSize::bs8, TParity::ptNONE,
                                  TStopbits::sb1BITS},
                      RecordCase {250000, 8, 0, 0, TBaudRate::br110, TByteSize::bs8,
                                  TParity::ptNONE, TStopbits::sb1BITS},
                      RecordCase {14400, 5, 3, 1, TBaudRate::br14400, TByteSize::bs5,
                                  TParity::ptMARK, TStopbits::sb1HALFBITS},
                      RecordCase {56000, 9, 4, 2, TBaudRate::br56000, TByteSize::bs9,
                                  TParity::ptSPACE, TStopbits::sb2BITS},
                      RecordCase {19201, 7, 1, 0, TBaudRate::br110, TByteSize::bs7, TParity::ptODD,
                                  TStopbits::sb1BITS},
                      // Codes outside the enumerations never become invalid values.
                      RecordCase {115200, 12, 9, 7, TBaudRate::br115200, TByteSize::bs9,
                                  TParity::ptSPACE, TStopbits::sb2BITS},
                      RecordCase {9600, 0, 0, 0, TBaudRate::br9600, TByteSize::bs5, TParity::ptNONE,
                                  TStopbits::sb1BITS}));

TEST(ComProp, EveryRateOfTheTableSurvivesTheRecord)
{
    const uint32_t rates[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                              14400, 19200, 38400, 56000, 57600, 115200};
    for (int i = 0; i < kBaudRateCount; ++i) {
        TComProp prop;
        prop.SetBaudRate(static_cast<TBaudRate>(i));
        EXPECT_EQ(prop.DCB().BaudRate, rates[i]);
        TComProp back;
        back.SetDCB(prop.DCB());
        EXPECT_EQ(back.BaudRate(), prop.BaudRate()) << rates[i];
    }
}

} // namespace
} // namespace karvel
