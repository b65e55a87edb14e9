// Runs every widget test class in one QApplication.
#include <QApplication>

namespace ostrel {
int runConfigWindowTest(int argc, char** argv);
int runScanWindowTest(int argc, char** argv);
int runTrayProgramTest(int argc, char** argv);
int runTrayStatusTest(int argc, char** argv);
int runWindowsTest(int argc, char** argv);
int runReplaceDlgTest(int argc, char** argv);
int runPluFileSettingDlgTest(int argc, char** argv);
int runFixedDesignerTest(int argc, char** argv);
} // namespace ostrel

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    int failed = 0;
    failed += ostrel::runWindowsTest(argc, argv);
    failed += ostrel::runTrayProgramTest(argc, argv);
    failed += ostrel::runTrayStatusTest(argc, argv);
    failed += ostrel::runConfigWindowTest(argc, argv);
    failed += ostrel::runScanWindowTest(argc, argv);
    failed += ostrel::runReplaceDlgTest(argc, argv);
    failed += ostrel::runPluFileSettingDlgTest(argc, argv);
    failed += ostrel::runFixedDesignerTest(argc, argv);
    return failed == 0 ? 0 : 1;
}
