#include "launcher/emulators/LaunchRules.h"

#include "launcher/PathHelpers.h"
#include "launcher/emulators/CommandLineText.h"

namespace {
QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool occursIn(const QString& name, const char* list) {
    return QString::fromLatin1(list).contains(name, Qt::CaseInsensitive);
}
}  // namespace

QString optionLikeNameRefusal(const QString& fileName) {
    return QStringLiteral(
               "'%1' was not started: its name begins with \"-\", so the emulator "
               "would take it for one of its options. Rename the game to start it.")
        .arg(fileName);
}

LaunchPlan composeLaunch(const LaunchInput& in) {
    const QString path = withTrailingSeparator(in.listedFolder);
    const QString full = path + in.fileName;
    const QString emulator = in.currentEmulator.toLower();

    LaunchPlan plan;
    plan.fileStarted = in.emulatorFolder + in.currentEmulator;
    plan.start.program = in.emulatorProgram;
    QStringList& args = plan.start.arguments;

    if (emulator == QLatin1String("zinc.exe")) {
        plan.rule = 1;
        const QString config = in.emulatorFolder + QStringLiteral("zinc.cfg");
        plan.parameters = in.gameNumber + QStringLiteral(" --use-config-file=") + quoted(config);
        if (!in.gameNumber.isEmpty()) args << in.gameNumber;
        args << QStringLiteral("--use-config-file=") + config;
    } else if (emulator == QLatin1String("rombard.exe")) {
        plan.rule = 2;
        plan.openDocument = true;
        plan.fileStarted = full;
        plan.start.program = full;
    } else if (isSwitchText(in.commandLine)) {
        plan.rule = 3;
        const QString switches = in.commandLine.trimmed();
        plan.parameters = switches + QStringLiteral(" ") + quoted(full);
        // An unbalanced quote cannot be split as the user meant it; passing the switches
        // as one word keeps them away from the file name all the same.
        args << splitSwitches(switches).value_or(QStringList{switches}) << full;
    } else if (in.systemName == QLatin1String("Nintendo 64") ||
               occursIn(in.currentEmulator, "RockNESX.exe;NO$NES.EXE")) {
        plan.rule = 4;
        plan.parameters = full;
        args << full;
    } else if (in.systemName == QLatin1String("Java 2 Emulator")) {
        plan.rule = 5;
        const QString jad = withExtension(full, QStringLiteral(".jad"));
        if (in.fileExists && in.fileExists(jad)) {
            plan.parameters = QStringLiteral("-jad ") + quoted(jad) + QStringLiteral(" ");
            args << QStringLiteral("-jad") << jad;
        }
        plan.parameters += QStringLiteral("-jar ") + quoted(full) + QStringLiteral(" -k");
        args << QStringLiteral("-jar") << full << QStringLiteral("-k");
        plan.start.show = 0;
    } else if (occursIn(in.currentEmulator, "callus.exe")) {
        plan.rule = 6;
        plan.parameters = replaceText(in.fileName, QStringLiteral(".zip"), QString(), 1, -1);
        // The one rule that passes the name bare, with no folder in front of it.
        if (plan.parameters.startsWith(QLatin1Char('-')))
            plan.refusal = optionLikeNameRefusal(in.fileName);
        else
            args << plan.parameters;
    } else if (occursIn(in.currentEmulator, "no$gba.exe")) {
        plan.rule = 7;
        plan.parameters = quoted(QStringLiteral("roms/") + in.fileName);
        args << QStringLiteral("roms/") + in.fileName;
        plan.start.workingFolder = in.emulatorFolder;
    } else {
        plan.rule = 8;
        plan.parameters = quoted(full);
        args << full;
    }
    return plan;
}
