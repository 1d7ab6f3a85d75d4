// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "acquisition/capture_link.h"
#include "acquisition/device_scanner.h"
#include "app/command_line.h"
#include "app/session_recovery.h"

class CCaptureDistributor;
class CLinkStatusMonitor;
class CDocumentManager;
class CMainFrame;
class CProcessSignals;
class CSelectFpgaDialog;
class CVexlarDoc;
class QProgressBar;
class QWidget;
namespace coresim {
class CoreSimulator;
}

// The application object: owns the one capture link of the process, brings
// up the settings, the main frame and the first document, lets the user
// choose the core and starts the capture thread; at exit it stops the thread
// before anything else goes away.
class CVexlarApp : public QObject {
    Q_OBJECT
public:
    CVexlarApp();
    ~CVexlarApp() override;
    CVexlarApp(const CVexlarApp&) = delete;
    CVexlarApp& operator=(const CVexlarApp&) = delete;

    // Start-up; false when the process should end (e.g. the document named
    // on the command line cannot be opened).
    bool InitInstance(const CommandLineOptions& options);
    // Shut-down: stops the capture thread and waits for it, then the demo
    // core; returns the exit code.
    int ExitInstance();
    // Two discovery passes, the "Select FPGA" dialog and the thread start.
    void SelectCoreAndStartLink();

    CCaptureLink m_link;
    bool m_hiColorIcons = true;

    CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    CDocumentManager* Documents() const { return m_documents.get(); }
    // Hands every capture of the link to the open documents.
    CCaptureDistributor* Captures() const { return m_captures.get(); }
    coresim::CoreSimulator* DemoCore() const { return m_demoCore.get(); }
    bool MainFrameClosed() const { return m_mainFrameClosed; }
    // The logic-analyzer cores the last selection offered, in link order.
    const std::vector<DeviceRecord>& OfferedCores() const { return m_offeredCores; }
    // Discovery passes run by the start-up selection (not by the thread).
    int SelectionScanPasses() const { return m_selectionScanPasses; }

    // Runs the "Select FPGA" dialog and returns its result; tests replace it
    // to look at the dialog and answer it. By default: exec().
    std::function<int(CSelectFpgaDialog&)> m_runSelectDialog;
    // Answers the start-up offer to restore the documents kept by an
    // ending signal; tests replace it. By default: a question box.
    CSessionRecovery::Ask m_askRestore;

    // SIGTERM, SIGINT or SIGHUP that ended the application (0: none yet).
    // Modified documents were written to recovery files and the event loops
    // were told to quit; main then runs ExitInstance and returns 128 + it.
    int TerminationSignal() const { return m_terminationSignal; }
    void OnTerminationSignal(int signalNumber);

    // Command handlers (also reachable through the actions).
    void OnAppAbout();
    void OnTrigRun();
    void OnTrigNow();
    void OnTrigLive();
    void OnFileNew();
    void OnFileOpen();
    void OnFileClose();
    void OnFileSave();
    void OnFileSaveAs();
    void OnWindowNew();

    // Brings the commands' enabled and checked states up to date. Runs when
    // what they depend on changes (the active document, a document's
    // modified or live state, the list of documents, Run), never from a
    // timer: an idle application does no work.
    void UpdateCommandUI();

private:
    void ConnectCommands();
    QWidget* CreateView(CVexlarDoc* doc);
    AdapterSource AdapterSourceFromOptions() const;
    bool StartDemoCore(bool announce);
    // Starts the link's thread; the status bar follows it from then on.
    void StartLink();
    void ShowScanProgress(int pass, int adapterIndex, int adapterCount);
    void EndScanProgress();
    bool QueryCloseMainFrame();
    void OpenFiles(const QStringList& paths);
    void ShowWindowManager();

    CommandLineOptions m_options;
    std::unique_ptr<CMainFrame> m_mainFrame;
    std::unique_ptr<CDocumentManager> m_documents;
    std::unique_ptr<CCaptureDistributor> m_captures;   // after m_documents: gone before them
    std::unique_ptr<coresim::CoreSimulator> m_demoCore;
    std::unique_ptr<CProcessSignals> m_processSignals;
    std::unique_ptr<CSessionRecovery> m_recovery;
    int m_terminationSignal = 0;
    CLinkStatusMonitor* m_linkStatus = nullptr;   // a child of the main frame
    std::vector<DeviceRecord> m_offeredCores;
    QProgressBar* m_scanProgress = nullptr;
    std::atomic<bool> m_cancelScan{false};
    int m_selectionScanPasses = 0;
    bool m_mainFrameClosed = false;
    bool m_exited = false;
};
