#include "robust_fixture.h"

#include "config_keys.h"
#include "config_store.h"

#include <QDir>

namespace karvel::robust {

soak::TSoakLine Line(int number, int count)
{
    soak::TSoakLine line {number, false, {}};
    for (int k = 1; k <= count; ++k)
        line.terminals.push_back({static_cast<uint8_t>(number * 10 + k),
                                  QStringLiteral("Продукт %1.%2").arg(number).arg(k)});
    return line;
}

void RobustTest::SetUp()
{
    ASSERT_TRUE(home.isValid());
    configDir = home.path() + "/config";
    programDir = home.path() + "/program";
    QDir().mkpath(configDir + "/Vistam/dosdevices");
    QDir().mkpath(programDir);
    qputenv("XDG_CONFIG_HOME", configDir.toUtf8());
    storePath = configDir + "/Vistam/Karvel_net.reg";
    options.programDir = programDir;
    options.storePath = storePath;
    options.callTimeoutMs = 1000;
    options.retryPeriodMs = 500;
}

void RobustTest::TearDown()
{
    StopProgram();
    sims.clear();
}

void RobustTest::WriteLines(const std::vector<soak::TSoakLine>& configured, const QString& progId)
{
    lines = configured;
    soak::WriteStore(storePath, lines);
    TConfigStore store(storePath);
    store.WriteString(kControlKey, QStringLiteral("Name"), progId);
    store.WriteString(kControlKey, QStringLiteral("Password"), QString());
    // Present, so that a start has nothing to add to the store.
    store.WriteString(kControlKey, kStationIdValue,
                      QStringLiteral("6f1c2a4e-0d5b-4c1e-9a57-2b8d3e4f5a60"));
    store.Flush();
}

bool RobustTest::StartSim(int line, const QStringList& extra)
{
    QStringList args = extra;
    for (const soak::TSoakLine& l : lines)
        if (l.number == line)
            for (const soak::TSoakTerminal& t : l.terminals)
                args << "--terminal" << QStringLiteral("%1:KR200:%2").arg(t.net).arg(t.product);
    const QString work = home.path() + QStringLiteral("/sim%1").arg(line);
    QDir().mkpath(work);
    auto sim = std::make_unique<test::SimProcess>();
    const bool started =
        sim->Start(configDir + QStringLiteral("/Vistam/dosdevices/com%1").arg(line), work, args);
    sims[line] = std::move(sim);
    return started;
}

void RobustTest::StartProgram()
{
    core = std::make_unique<TMainCore>(options, &listener);
    core->StartUp();
    settings_ = std::make_unique<TStoreLineSettings>(storePath);
    for (int line = 1; line <= 4; ++line) {
        if (core->LineList(line).empty())
            continue;
        pollers_.push_back(std::make_unique<TLinePoller>(LineTraits(line), core->LineList(line),
                                                         *settings_,
                                                         views_[static_cast<size_t>(line - 1)]));
        pollers_.back()->Init();
    }
}

void RobustTest::StopProgram()
{
    for (auto& poller : pollers_)
        poller->Stoping();
    pollers_.clear();
    if (core)
        core->FormDestroy();
    core.reset();
}

bool RobustTest::Polls(int line, int timeoutMs)
{
    const int before = Steps(line);
    return test::WaitUntil([&] { return Steps(line) >= before + 3; }, timeoutMs);
}

} // namespace karvel::robust
