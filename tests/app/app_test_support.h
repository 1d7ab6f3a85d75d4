// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared pieces of the application tests: isolated settings, waiting with the
// event loop running, and the signals of a document.

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "app/command_line.h"
#include "app/document_manager.h"
#include "app/main_frame.h"
#include "app/vexlar_app.h"
#include "core_simulator.h"
#include "document/vexlar_doc.h"
#include "model/signal.h"

namespace apptest {

// Points QSettings at a private folder for the life of the test program, so
// that no test reads or writes the user's settings.
inline QTemporaryDir& SettingsDir()
{
    static QTemporaryDir dir;
    return dir;
}

// Recovery files of the application go here too: none of the user's is
// offered to a test, and no test leaves one behind.
inline QTemporaryDir& StateDir()
{
    static QTemporaryDir dir;
    return dir;
}

inline void IsolateSettings()
{
    qputenv("XDG_STATE_HOME", QFile::encodeName(StateDir().path()));
    QCoreApplication::setOrganizationName(QStringLiteral("Brannock"));
    QCoreApplication::setApplicationName(QStringLiteral("Vexlar"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, SettingsDir().path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, SettingsDir().path());
    QSettings().clear();
}

// Runs the event loop until pred() holds or the time is up.
inline bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired()) {
            return pred();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(2);
    }
    return true;
}

// Waits without running the event loop (no view timer can fire meanwhile).
inline bool WaitWithoutEvents(const std::function<bool()>& pred, int timeoutMs = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) {
            return pred();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A simulated logic-analyzer core on loopback that does not take part in
// discovery.
inline std::unique_ptr<coresim::CoreSimulator> StartCore(uint32_t coreId = 0xFE010111)
{
    coresim::CoreOptions options;
    options.address = "127.0.0.1";
    options.discoveryPort = 0;
    options.capturePort = 0;
    options.coreId = coreId;
    auto core = std::make_unique<coresim::CoreSimulator>(options);
    if (!core->Start()) {
        return nullptr;
    }
    return core;
}

// The application started with its demo core (loopback only, no discovery).
inline std::unique_ptr<CVexlarApp> StartDemoApp()
{
    auto app = std::make_unique<CVexlarApp>();
    CommandLineOptions options;
    options.demo = true;
    if (!app->InitInstance(options)) {
        return nullptr;
    }
    return app;
}

inline CommandLineOptions CoreOptionsFor(int port)
{
    CommandLineOptions options;
    options.coreAddress = QStringLiteral("127.0.0.1");
    options.corePort = port;
    return options;
}

// Answers every question about unsaved changes with Discard, for tests whose
// subject is not that question: a new document is live, so the captures it
// takes make it modified.
inline void DiscardUnsavedChanges(CVexlarApp& app)
{
    app.Documents()->m_askSave = [](const QString&) { return CDocumentManager::SaveChoice::Discard; };
    app.Documents()->m_askSaveSeveral = [](const QStringList&) {
        CDocumentManager::SeveralSaveAnswer answer;
        answer.choice = CDocumentManager::SeveralSaveAnswer::Choice::DiscardAll;
        return answer;
    };
}

inline CSignal* FirstSignal(CVexlarDoc* doc)
{
    return doc && !doc->m_signals.empty() ? doc->m_signals.front() : nullptr;
}

inline CVexlarDoc* FirstDocument(const CVexlarApp& app)
{
    const auto docs = app.Documents()->Documents();
    return docs.empty() ? nullptr : docs.front();
}

}   // namespace apptest
