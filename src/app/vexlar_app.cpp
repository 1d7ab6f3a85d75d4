// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/vexlar_app.h"

#include "app/about_dlg.h"
#include "app/child_frame.h"
#include "app/command_ids.h"
#include "app/document_commands.h"
#include "app/document_manager.h"
#include "app/link_status_monitor.h"
#include "app/main_frame.h"
#include "app/process_signals.h"
#include "app/select_fpga_dialog.h"
#include "app/view_factory.h"
#include "app/workbench_commands.h"
#include "core_simulator.h"
#include "document/capture_distributor.h"
#include "document/demo_document.h"
#include "document/document_edits.h"
#include "document/vexlar_doc.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>
#include <chrono>
#include <thread>

using namespace VexlarCmd;

CVexlarApp::CVexlarApp() = default;

CVexlarApp::~CVexlarApp()
{
    ExitInstance();
}

AdapterSource CVexlarApp::AdapterSourceFromOptions() const
{
    if (m_options.adapters.isEmpty()) {
        return {};   // every local adapter
    }
    std::vector<std::string> adapters;
    for (const QString& address : m_options.adapters) {
        adapters.push_back(address.toStdString());
    }
    return [adapters] { return adapters; };
}

QWidget* CVexlarApp::CreateView(CVexlarDoc* doc)
{
    return CreateDocumentView(doc);
}

bool CVexlarApp::InitInstance(const CommandLineOptions& options)
{
    m_options = options;

    // From here on an ending signal is an orderly exit that keeps the
    // modified documents.
    m_processSignals = std::make_unique<CProcessSignals>();
    connect(m_processSignals.get(), &CProcessSignals::Received, this, &CVexlarApp::OnTerminationSignal);

    // Settings live under "Brannock"/"Vexlar" (QSettings defaults set by
    // main, or by a test that points them elsewhere).
    if (QCoreApplication::organizationName().isEmpty()) {
        QCoreApplication::setOrganizationName(QStringLiteral("Brannock"));
    }
    if (QCoreApplication::applicationName().isEmpty() ||
        QCoreApplication::applicationName() != QLatin1String("Vexlar")) {
        QCoreApplication::setApplicationName(QStringLiteral("Vexlar"));
    }

    // Main frame, then the document manager, which creates each document
    // with its frame and view.
    m_mainFrame = std::make_unique<CMainFrame>(m_hiColorIcons);
    m_documents =
        std::make_unique<CDocumentManager>(m_mainFrame.get(), [this](CVexlarDoc* doc) { return CreateView(doc); });
    m_documents->LoadRecentFiles();
    // Every capture goes to every live document once, as the link hands it
    // over; a document that appears takes the newest capture at once. A held
    // document (one opened from a file, until the user makes it live) takes
    // none: the hand-off does not even take the capture out of the link for
    // it.
    m_captures = std::make_unique<CCaptureDistributor>(m_link, [this] { return m_documents->Documents(); });
    connect(m_documents.get(), &CDocumentManager::DocumentsChanged, this, [this] {
        if (m_captures)   // gone at exit, while the documents close
            m_captures->Distribute();
    });
    m_linkStatus = new CLinkStatusMonitor(m_link, *m_mainFrame);   // owned by the frame
    m_mainFrame->m_queryClose = [this] { return QueryCloseMainFrame(); };
    m_mainFrame->m_activeWindow = [this]() -> QMdiSubWindow* { return m_documents->ActiveFrame(); };
    connect(m_mainFrame.get(), &CMainFrame::Closed, this, [this] {
        m_mainFrameClosed = true;
        m_cancelScan.store(true);
    });
    connect(m_mainFrame.get(), &CMainFrame::FilesDropped, this, &CVexlarApp::OpenFiles);
    // A recent file that can no longer be opened leaves the list, so that it
    // is not offered again.
    connect(m_mainFrame.get(), &CMainFrame::RecentFileChosen, this, [this](const QString& path) {
        if (!m_documents->OpenDocument(path)) {
            m_documents->RemoveRecentFile(path);
        }
    });
    ConnectCommands();
    {
        QSettings settings;
        m_mainFrame->LoadBarState(settings);
    }

    // The command line: a document to open, by default a new empty one.
    CVexlarDoc* startDoc = nullptr;
    if (!options.file.isEmpty()) {
        startDoc = m_documents->OpenDocument(options.file);
        if (!startDoc) {
            return false;
        }
        // Given on the command line, the rate is an edit of the file (Undo
        // gives back the file's own rate).
        if (options.sampleRate > 0.0) {
            DocumentEdits::SetSampleRate(*startDoc, options.sampleRate);
        }
    } else {
        startDoc = m_documents->NewDocument();
        // The demo core's fields, one row of every kind, with its rate.
        if (options.demo) {
            DemoDocument::Fill(*startDoc);
        }
        if (options.sampleRate > 0.0) {
            startDoc->m_sampleRate = options.sampleRate;
        }
    }

    m_mainFrame->show();
    UpdateCommandUI();

    // Documents kept when the last run was ended by a signal. A screenshot
    // run has nobody to answer: they stay for the next start.
    m_recovery = std::make_unique<CSessionRecovery>(*m_documents);
    if (options.screenshot.isEmpty()) {
        m_recovery->OfferRestore(m_mainFrame.get(), m_askRestore);
    }
    if (m_terminationSignal != 0 || m_mainFrameClosed) {
        return true;   // ended while the question was open: no acquisition
    }

    // Acquisition: a core named on the command line, the demo core, or the
    // user's choice among the cores that answer.
    if (options.demo) {
        if (StartDemoCore(false)) {
            m_link.SetCore("127.0.0.1", m_demoCore->CapturePort());
            StartLink();
        }
    } else if (!options.coreAddress.isEmpty()) {
        m_link.SetCore(options.coreAddress.toStdString(), options.corePort);
        StartLink();
    } else {
        SelectCoreAndStartLink();
    }
    return true;
}

bool CVexlarApp::StartDemoCore(bool announce)
{
    coresim::CoreOptions core;
    core.address = "127.0.0.1";
    core.capturePort = 0;
    // Announced only when a searching capture thread has to find it; the
    // announcement stays on the loopback interface.
    core.discoveryPort = announce ? DISCOVERY_PORT : 0;
    auto demo = std::make_unique<coresim::CoreSimulator>(core);
    if (!demo->Start()) {
        QMessageBox::warning(
            m_mainFrame.get(), QStringLiteral("Vexlar"),
            tr("The demo core could not be started: %1").arg(QString::fromStdString(demo->LastError())));
        return false;
    }
    m_demoCore = std::move(demo);
    return true;
}

void CVexlarApp::ShowScanProgress(int pass, int adapterIndex, int adapterCount)
{
    if (!m_mainFrame) {
        return;
    }
    if (!m_scanProgress) {
        m_scanProgress = new QProgressBar(m_mainFrame->statusBar());
        m_scanProgress->setObjectName(QStringLiteral("ScanProgress"));
        m_scanProgress->setMaximumWidth(200);
        m_scanProgress->setTextVisible(false);
        m_mainFrame->statusBar()->addPermanentWidget(m_scanProgress);
    }
    const int count = std::max(adapterCount, 1);
    m_scanProgress->setRange(0, 2 * count);
    m_scanProgress->setValue((pass - 1) * count + adapterIndex);
    m_scanProgress->show();
    m_mainFrame->MessagePane()->setText(tr("Searching for FPGA/Logic Analyzer cores: pass %1 of 2, adapter %2 of %3...")
                                            .arg(pass)
                                            .arg(adapterIndex + 1)
                                            .arg(count));
}

void CVexlarApp::EndScanProgress()
{
    if (m_scanProgress) {
        m_scanProgress->hide();
    }
    if (m_mainFrame) {
        m_mainFrame->MessagePane()->setText(tr("Ready"));
    }
}

void CVexlarApp::SelectCoreAndStartLink()
{
    m_offeredCores.clear();

    // Two discovery passes on one scanner (replies of both accumulate). They
    // run on a worker thread so that the window keeps painting and shows how
    // far the search has got.
    auto scanner = std::make_unique<CDeviceScanner>(AdapterSourceFromOptions());
    std::atomic<int> pass{1};
    scanner->SetCancelCheck([this] { return m_cancelScan.load(); });
    scanner->SetProgressCallback([this, &pass](int index, int count) {
        const int p = pass.load();
        QMetaObject::invokeMethod(
            this, [this, p, index, count] { ShowScanProgress(p, index, count); }, Qt::QueuedConnection);
    });
    ShowScanProgress(1, 0, 1);
    QEventLoop loop;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        scanner->Scan();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pass.store(2);
        if (!m_cancelScan.load()) {
            scanner->Scan();
        }
        done.store(true);
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    if (!done.load()) {
        loop.exec();
    }
    worker.join();
    m_selectionScanPasses += 2;
    // progress messages still queued are dropped with the loop's events
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    EndScanProgress();
    if (m_mainFrameClosed) {
        return;   // the user closed the window meanwhile: nothing to select
    }

    for (const auto& record : scanner->m_devices) {
        if (record->coreId == LOGIC_ANALYZER_CORE_ID) {
            m_offeredCores.push_back(*record);
        }
    }

    QWidget* owner = QApplication::activeWindow() ? QApplication::activeWindow() : m_mainFrame.get();
    CSelectFpgaDialog dialog(owner);
    if (m_offeredCores.empty()) {
        // Nobody answered: the thread starts now and keeps searching by
        // itself; the dialog is shown all the same.
        m_link.SetAdapterSource(AdapterSourceFromOptions());
        StartLink();
    } else {
        for (size_t i = 0; i < m_offeredCores.size(); ++i) {
            const DeviceRecord& core = m_offeredCores[i];
            dialog.AddCoreLink(IDC_FIRST_CORE_LINK + static_cast<int>(i),
                               QStringLiteral("%1:%2").arg(QString::fromStdString(core.address)).arg(core.port));
        }
    }
    // The searching thread can only find the demo core through the loopback
    // adapter: offer it where that works.
    const bool searching = m_offeredCores.empty();
    if (!searching || m_options.adapters.isEmpty() || m_options.adapters.contains(QStringLiteral("127.0.0.1"))) {
        dialog.AddDemoLink();
    }

    const int result = m_runSelectDialog ? m_runSelectDialog(dialog) : dialog.exec();
    const unsigned index = static_cast<unsigned>(result - IDC_FIRST_CORE_LINK);
    if (index <= 990u && index < m_offeredCores.size()) {
        const DeviceRecord& core = m_offeredCores[index];
        m_link.SetCore(core.address, core.port);
        StartLink();
    } else if (result == IDC_DEMO_CORE_LINK) {
        if (searching) {
            // the thread is already searching: the demo core announces itself
            // on the loopback adapter, where the next pass finds it
            StartDemoCore(true);
        } else if (StartDemoCore(false)) {
            m_link.SetCore("127.0.0.1", m_demoCore->CapturePort());
            StartLink();
        }
    }
}

int CVexlarApp::ExitInstance()
{
    if (m_exited) {
        return 0;
    }
    m_exited = true;
    // 1. The capture thread first: stop it and wait until it has left.
    m_cancelScan.store(true);
    if (m_link.IsRunning()) {
        m_link.StopAndWait();
    } else {
        m_link.RequestStop();
    }
    // 2. The demo core, which the thread may have been talking to.
    if (m_demoCore) {
        m_demoCore->Stop();
        m_demoCore.reset();
    }
    // 3. Nothing hands captures to the documents any more; then the windows
    // and documents.
    m_captures.reset();
    if (m_documents) {
        m_documents->CloseAllDocuments();
    }
    m_recovery.reset();
    m_documents.reset();
    m_mainFrame.reset();
    m_processSignals.reset();
    return 0;
}

void CVexlarApp::OnTerminationSignal(int signalNumber)
{
    if (m_terminationSignal != 0) {
        return;   // already ending
    }
    m_terminationSignal = signalNumber;
    m_cancelScan.store(true);
    // No question can be answered now: what is not saved goes to recovery
    // files, offered at the next start.
    if (m_recovery) {
        m_recovery->WriteModifiedDocuments();
    }
    // Every running event loop returns, those of open dialogs too, and from
    // now on QEventLoop::exec returns at once: a dialog that code opens after
    // this cannot hold up the exit either. main then runs ExitInstance.
    QCoreApplication::exit(0);
}

bool CVexlarApp::QueryCloseMainFrame()
{
    if (!m_documents->SaveAllModified()) {
        return false;
    }
    QSettings settings;
    m_mainFrame->SaveBarState(settings);
    m_documents->SaveRecentFiles();
    return true;
}

void CVexlarApp::OpenFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        m_documents->OpenDocument(path);
    }
}

void CVexlarApp::ConnectCommands()
{
    CMainFrame* frame = m_mainFrame.get();
    auto on = [this, frame](int id, void (CVexlarApp::*handler)()) {
        connect(frame->Action(id), &QAction::triggered, this, handler);
    };
    on(ID_APP_ABOUT, &CVexlarApp::OnAppAbout);
    on(ID_TRIG_RUN, &CVexlarApp::OnTrigRun);
    on(ID_TRIG_NOW, &CVexlarApp::OnTrigNow);
    on(ID_TRIG_LIVE, &CVexlarApp::OnTrigLive);
    on(ID_FILE_NEW, &CVexlarApp::OnFileNew);
    on(ID_FILE_OPEN, &CVexlarApp::OnFileOpen);
    on(ID_FILE_CLOSE, &CVexlarApp::OnFileClose);
    on(ID_FILE_SAVE, &CVexlarApp::OnFileSave);
    on(ID_FILE_SAVE_AS, &CVexlarApp::OnFileSaveAs);
    on(ID_WINDOW_NEW, &CVexlarApp::OnWindowNew);
    on(ID_WINDOW_MANAGER, &CVexlarApp::ShowWindowManager);
    ConnectDocumentCommands(*frame, *m_documents);
    connect(m_documents.get(), &CDocumentManager::DocumentsChanged, this, &CVexlarApp::UpdateCommandUI);
    connect(m_documents.get(), &CDocumentManager::ActiveDocumentChanged, this, &CVexlarApp::UpdateCommandUI);
    connect(m_documents.get(), &CDocumentManager::DocumentStateChanged, this, &CVexlarApp::UpdateCommandUI);
}

void CVexlarApp::OnAppAbout()
{
    CAboutDlg about(m_mainFrame.get());
    about.exec();
}

void CVexlarApp::StartLink()
{
    m_link.Start();
    m_linkStatus->Follow();
}

void CVexlarApp::OnTrigRun()
{
    m_link.ToggleRun();
    m_linkStatus->Follow();
    UpdateCommandUI();
}

void CVexlarApp::OnTrigNow()
{
    m_link.TrigNow();
    m_linkStatus->FollowFor(3);   // the one capture, or its time-out
}

void CVexlarApp::OnTrigLive()
{
    // The document's state listener brings the check mark, the tab's mark
    // and the title up to date.
    if (CVexlarDoc* doc = m_documents->ActiveDocument()) {
        doc->SetLive(!doc->IsLive());
        // Made live, it shows the newest capture now, not at the next one.
        if (doc->IsLive())
            m_captures->Distribute();
    }
    UpdateCommandUI();
}

void CVexlarApp::OnFileNew()
{
    m_documents->NewDocument();
}

void CVexlarApp::OnFileOpen()
{
    const QString path = QFileDialog::getOpenFileName(m_mainFrame.get(), tr("Open"), QString(),
                                                      QStringLiteral("Vexlar Files (*.VEXLAR)"));
    if (!path.isEmpty()) {
        m_documents->OpenDocument(path);
    }
}

void CVexlarApp::OnFileClose()
{
    if (CVexlarDoc* doc = m_documents->ActiveDocument()) {
        m_documents->CloseDocument(doc);
    }
}

void CVexlarApp::OnFileSave()
{
    if (CVexlarDoc* doc = m_documents->ActiveDocument()) {
        m_documents->SaveDocument(doc);
    }
}

void CVexlarApp::OnFileSaveAs()
{
    if (CVexlarDoc* doc = m_documents->ActiveDocument()) {
        m_documents->SaveDocumentAs(doc);
    }
}

void CVexlarApp::OnWindowNew()
{
    if (CVexlarDoc* doc = m_documents->ActiveDocument()) {
        m_documents->NewWindow(doc);
    }
}

void CVexlarApp::ShowWindowManager()
{
    QMdiArea* area = m_mainFrame->MdiArea();
    QDialog dialog(m_mainFrame.get());
    dialog.setWindowTitle(tr("Windows"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    const auto windows = area->subWindowList();
    for (QMdiSubWindow* window : windows) {
        list->addItem(window->windowTitle());
    }
    list->setCurrentRow(std::max<int>(0, static_cast<int>(windows.indexOf(m_documents->ActiveFrame()))));
    layout->addWidget(list);
    auto* activate = new QPushButton(tr("&Activate"), &dialog);
    auto* close = new QPushButton(tr("&Close Window"), &dialog);
    auto* ok = new QPushButton(tr("OK"), &dialog);
    layout->addWidget(activate);
    layout->addWidget(close);
    layout->addWidget(ok);
    connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    connect(activate, &QPushButton::clicked, &dialog, [&] {
        const int row = list->currentRow();
        if (row >= 0 && row < windows.size()) {
            area->setActiveSubWindow(windows[row]);
        }
        dialog.accept();
    });
    connect(close, &QPushButton::clicked, &dialog, [&] {
        const int row = list->currentRow();
        if (row >= 0 && row < windows.size()) {
            windows[row]->close();
        }
        dialog.accept();
    });
    dialog.exec();
}

void CVexlarApp::UpdateCommandUI()
{
    if (!m_mainFrame) {
        return;
    }
    CMainFrame& frame = *m_mainFrame;
    frame.Action(ID_TRIG_RUN)->setChecked(m_link.IsRunEnabled());
    CVexlarDoc* active = m_documents ? m_documents->ActiveDocument() : nullptr;
    const bool hasDoc = active != nullptr;
    for (int id : {ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_EXPORT, ID_FILE_EXPORT_VCD, ID_FILE_PRINT,
                   ID_FILE_PRINT_PREVIEW, ID_SIGNALS_ADD, ID_SIGNALS_ADD_DECODER, ID_SIGNALS_DELETE, ID_SIGNALS_FREEZE,
                   ID_SIGNALS_DUPLICATE, ID_SIGNALS_EXPORT_TESTBENCH, ID_SIGNALS_EXPORT_SELECTED, ID_WINDOW_NEW,
                   ID_TRIG_LIVE}) {
        frame.Action(id)->setEnabled(hasDoc);
    }
    frame.Action(ID_TRIG_LIVE)->setChecked(hasDoc && active->IsLive());
    if (m_documents) {
        UpdateWorkbenchCommands(frame, *m_documents);
        m_documents->UpdateTitles();
    }
}
