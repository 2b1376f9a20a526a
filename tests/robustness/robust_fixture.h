#pragma once
// A program without windows: the store in a temporary XDG_CONFIG_HOME, a temporary
// program directory, simulated lines on ptys, the start-up core and one polling cycle
// per configured line; the listener keeps what the windows would show.

#include "main_core.h"
#include "recording_listener.h"
#include "soak_line.h"
#include "soak_store.h"

#include "sim_process.h"
#include "wait.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace karvel::robust {

using test::TRecordingListener;

class RobustTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The store: these lines, accounting server `progId`.
    void WriteLines(const std::vector<soak::TSoakLine>& lines,
                    const QString& progId = "KarvelC.DataControlServ");
    // A simulator for line `line` (its terminals as configured), on COM<line>.
    bool StartSim(int line, const QStringList& extra = {});
    // Start-up of the core and of the polling cycles of the configured lines.
    void StartProgram();
    void StopProgram();

    int Steps(int line) const { return views_[static_cast<size_t>(line - 1)].steps; }
    // The polling cycle of `line` keeps going: its selected terminal is polled again.
    bool Polls(int line, int timeoutMs = 5000);
    TMain_Karvel& Terminal(int line, size_t i) { return *core->LineList(line).at(i); }
    QString ProgramFile(const QString& name) const { return programDir + "/" + name; }
    std::vector<std::string> LineMessages(int line) const
    {
        return views_[static_cast<size_t>(line - 1)].messages;
    }

    QTemporaryDir home;
    QString configDir, programDir, storePath;
    TCoreOptions options;
    std::vector<soak::TSoakLine> lines;
    TRecordingListener listener;
    std::map<int, std::unique_ptr<test::SimProcess>> sims;
    std::unique_ptr<TMainCore> core;

private:
    std::unique_ptr<TStoreLineSettings> settings_;
    std::array<soak::TQuietView, 4> views_;
    std::vector<std::unique_ptr<TLinePoller>> pollers_;
};

// One line of `count` terminals, network numbers line*10+1.., KR-200.
soak::TSoakLine Line(int number, int count);

} // namespace karvel::robust
