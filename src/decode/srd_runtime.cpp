// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/srd_runtime.h"

#include <cstdarg>
#include <cstdio>

#include <libsigrokdecode/libsigrokdecode.h>

namespace {

std::mutex g_sessionMutex;

// The log callback may run on the library's decoder threads, so the capture
// buffer has a lock of its own (never SrdLock, which the feeding thread holds).
std::mutex g_logMutex;
bool g_capturing = false;
std::string g_captured;

int LogToCapture(void* /*cbData*/, int loglevel, const char* format, va_list args)
{
    if (loglevel > SRD_LOG_ERR)
        return SRD_OK;
    char text[2048];
    std::vsnprintf(text, sizeof text, format, args);
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (!g_capturing)
        return SRD_OK;
    // Keep a bounded amount: a decoder failing in a loop must not grow this
    // without limit.
    if (g_captured.size() < 16384) {
        if (!g_captured.empty())
            g_captured.push_back('\n');
        g_captured += text;
    }
    return SRD_OK;
}

std::string InitLibrary()
{
    srd_log_callback_set(LogToCapture, nullptr);
    srd_log_loglevel_set(SRD_LOG_ERR);
    const int rc = srd_init(nullptr);
    if (rc != SRD_OK)
        return std::string("The protocol decoder library could not start: ") + srd_strerror(rc);
    return {};
}

std::string LoadAllDecoders()
{
    // Decoders that fail to load (a missing Python module) are skipped by the
    // library; those that load are listed.
    srd_decoder_load_all();
    if (srd_decoder_list() == nullptr)
        return "No protocol decoders were found.";
    return {};
}

}   // namespace

const std::string& SrdInitError()
{
    static const std::string error = [] {
        std::lock_guard<std::mutex> lock(g_sessionMutex);
        return InitLibrary();
    }();
    return error;
}

const std::string& SrdStartError()
{
    static const std::string error = [] {
        const std::string& init = SrdInitError();
        if (!init.empty())
            return init;
        std::lock_guard<std::mutex> lock(g_sessionMutex);
        return LoadAllDecoders();
    }();
    return error;
}

std::unique_lock<std::mutex> SrdLock()
{
    return std::unique_lock<std::mutex>(g_sessionMutex);
}

CSrdErrorCapture::CSrdErrorCapture()
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_capturing = true;
    g_captured.clear();
}

CSrdErrorCapture::~CSrdErrorCapture()
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_capturing = false;
    g_captured.clear();
}

std::string CSrdErrorCapture::Text() const
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    return g_captured;
}
