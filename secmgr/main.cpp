// vantrelsec: the administrator's dialog for the web component's security settings, and the same
// settings from a terminal (--list, --set, --defaults).

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "secmgr/DisplayCheck.h"
#include "secmgr/QtMessageBoxes.h"
#include "secmgr/SecureFormLogic.h"
#include "secmgr/TerminalCommands.h"
#include "secmgr/frmSecure.h"

namespace {

std::string g_programName = "vantrelsec";

// Qt ends with a core dump when it cannot reach the display it was told about; say what to do
// instead and leave with an ordinary failure.
void ReportFatalStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    if (type == QtFatalMsg) {
        std::cerr << vantrel::secmgr::NoDisplayHelp(g_programName);
        std::_Exit(2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vantrel::secmgr;
    if (argc > 0) {
        g_programName = std::filesystem::path(argv[0]).filename().string();
    }
    std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    if (WantsTerminal(arguments)) {
        return RunTerminalCommand(arguments, std::cout, std::cerr, g_programName);
    }
    if (!DisplayIsAvailable([](const char* name) { return std::getenv(name); })) {
        std::cerr << NoDisplayHelp(g_programName);
        return 2;
    }
    QtMessageHandler previousHandler = qInstallMessageHandler(ReportFatalStartupMessage);
    QApplication application(argc, argv);
    qInstallMessageHandler(previousHandler);

    QtMessageBoxes messages;
    SecureFormLogic logic(messages);
    frmSecure form(logic);
    messages.SetParent(&form);
    form.LoadSettings();
    form.exec();
    return 0;
}
