#pragma once
// One weighing terminal on a line: the request held for its next turn, the decoded
// answers, change booking of the total weight, stop detection and link tracking.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace karvel {

// A packet as the framing delivers it: byte 0 the network number, byte 1 the answer code,
// data from byte 2. Bytes read past its end count as 0.
using Packet = std::span<const uint8_t>;

struct TCounters {
    double C = 0; // total weight, kg
    std::string Ct;
    int64_t n = 0; // portions weighed
    std::string nt;
    double d = 0; // last portion, kg
    std::string dt;
    double P = 0; // productivity, t/h
    std::string Pt;
    double t = 0; // cycle time, s
    std::string tt;
    double E = 0; // limited sum, kg
    std::string Et;
    uint8_t stab_C = 0; // consecutive equal readings of C, 0..3
    double Stab_CVal = 0;
};

struct TDosageStructure {
    uint8_t NetNum = 0;
    double TankageLadel = 0; // portion set-point, kg
    double TVidergki = 0; // hold time, s
    double TDampers = 0; // lower gate open time, s
    double WLadel = 0; // empty hopper threshold, kg
    double Capacity = 0; // set productivity, t/h
    double OSigma = 0; // limited dose, t
};

// Values of Status and subStatus: which request the terminal gets next. 0..9 are the
// polling cycle (the counters by their number on the terminal), 10..20 the operator's
// commands; the values are the terminal object's own and are kept as they are.
enum TRequestStatus : uint16_t {
    StatusWeight = 0,
    StatusInputs = 1,
    StatusOutputs = 2,
    StatusState = 3,
    StatusCounterC = 4, // counter 1: the total
    StatusCounterN = 5, // counter 3: portions
    StatusCounterE = 6, // counter 4
    StatusCounterD = 7, // counter 6: the last portion
    StatusCounterP = 8, // counter 8
    StatusCounterT = 9, // counter 9: cycle time
    StatusReadDoz = 10,
    StatusWriteDoz = 11,
    StatusStart = 12,
    StatusStop = 13,
    StatusProhod = 14,
    StatusPause = 15,
    StatusResPause = 16,
    StatusResCicle = 17,
    StatusResPopoln = 18,
    StatusZerCounters = 19,
    StatusResErrors = 20,
    StatusCount = 21,
};

struct TDozSysStatus {
    bool Loading = false;
    bool UnLoading = false;
    bool StopPause = false;
};

using TConnectFalseEvent = std::function<void(uint8_t netNum)>;
using TConnectTrueEvent = std::function<void(uint8_t netNum)>;
using TReadDozeParamEvent =
    std::function<void(uint8_t dPos, uint8_t num, const TDosageStructure& dStruct)>;
using TChangeCountEvent =
    std::function<void(uint8_t netNum, double countD, double countC, const std::string& countDText,
                       const std::string& countCText)>;
using TStopWeightSystemEvent = std::function<void(uint8_t eEnum)>;

// Answer and request codes of the terminals.
enum TerminalCode : uint8_t {
    CodeWeight = 0xC3,
    CodeInputs = 0xC4,
    CodeOutputs = 0xC5,
    CodeState = 0xBF,
    CodeCounter = 0xC8,
    CodeReadDoz = 0xB3,
    CodeWriteDoz = 0xB4,
    CodeCommand = 0xDF,
};

class TDoz_Karvel {
public:
    static constexpr int kOutSize = 50;
    static constexpr uint16_t kLinkLostAt = 19;
    static constexpr uint16_t kErrorCountLimit = 20;

    explicit TDoz_Karvel(uint8_t netNumber);
    virtual ~TDoz_Karvel() = default;
    TDoz_Karvel(const TDoz_Karvel&) = delete;
    TDoz_Karvel& operator=(const TDoz_Karvel&) = delete;

    virtual void Reading_Weight(Packet packet);
    virtual void Reading_Count(Packet packet);
    virtual void Reading_DI(Packet packet);
    virtual void Reading_DO(Packet packet);
    virtual void Reading_Doz(Packet packet);
    virtual void Reading_State(Packet packet);
    virtual void DispatchResponse(Packet packet);
    virtual void MakeRequest(std::array<uint8_t, kOutSize>& outArray, uint16_t& outCol);
    // A good answer from this terminal.
    virtual void Exec(Packet packet);
    // A failed exchange with this terminal.
    void BedResponse();

    // Operator commands: each replaces the terminal's next request after its next good
    // answer. One slot: a later command replaces an earlier one not yet sent.
    void Command_ReadDoz() { subStatus = StatusReadDoz; }
    void Command_WriteDoz() { subStatus = StatusWriteDoz; }
    void Command_Start() { subStatus = StatusStart; }
    void Command_Stop() { subStatus = StatusStop; }
    void Command_Prohod() { subStatus = StatusProhod; }
    void Command_Pause() { subStatus = StatusPause; }
    void Command_ResPause() { subStatus = StatusResPause; }
    void Command_ResCicle() { subStatus = StatusResCicle; }
    void Command_ResPopoln() { subStatus = StatusResPopoln; }
    void Command_ZerCounters() { subStatus = StatusZerCounters; }
    void Command_ResErrors() { subStatus = StatusResErrors; }

    uint16_t Status = 0;
    uint16_t subStatus = 0;
    int32_t StopCounter = 0;
    TConnectFalseEvent FOnConnectFalse;
    TConnectTrueEvent FOnConnectTrue;
    TReadDozeParamEvent FOnReadDozeParam;
    TChangeCountEvent FOnChangeCount;
    TStopWeightSystemEvent FOnStopWeightSystemEvent;
    bool FirstReadFlagC = true;
    double c_old = 0;
    bool C_is_cheng = false;
    bool IsCreateDozWin = false;
    TCounters Count;
    std::array<bool, 32> Input {};
    std::array<bool, 32> Output {};
    std::string Weight;
    int32_t DelDecPoint = 0; // 10^Pos once a weight answer was decoded
    int32_t Pos = 0; // decimals of the terminal's weights
    uint8_t NetNum = 0;
    std::array<uint8_t, kOutSize> OutArray {};
    uint16_t OutCol = 0;
    uint16_t ErrorCount = 0;
    bool Connect = false;
    uint16_t ExternNum = 0;
    TDosageStructure DosageStructure;
    TDozSysStatus DozSysStatus;

protected:
    // Divisor of weight-type raw values; 1 before the first weight answer, never 0.
    double WeightDivisor() const { return DelDecPoint != 0 ? DelDecPoint : 1; }

private:
    void TakeTotal(double total);
    void BookChange();
    void MakeWriteDoz();
};

} // namespace karvel
