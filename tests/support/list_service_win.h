// The stand-in list service (LIST_SERVICE_EXE, the Windows build) run as a
// child process under Wine, stopped by its process handle.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

#include "base/files.h"
#include "base/leading_number.h"
#include "base/scoped_win.h"
#include "wait_for.h"

namespace testing_support {

// The service's program as Wine sees it: the build's Unix path on drive Z:.
inline std::string ListServiceProgram() {
    std::string path = "Z:" + std::string(LIST_SERVICE_EXE);
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// One run of the list service, stopped by its process handle.
class ListService {
public:
    ~ListService() { Stop(); }

    bool Start(const std::string& proxiesFile, const std::string& portFile,
               const std::string& logFile, bool rawList) {
        std::string command = "\"" + ListServiceProgram() + "\" --proxies \"" + proxiesFile +
                              "\" --port 0 --port-file \"" + portFile + "\" --log \"" + logFile +
                              "\"" + (rawList ? " --raw-list" : "");
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &started))
            return false;
        process_.Reset(started.hProcess);
        CloseHandle(started.hThread);
        std::string text;
        bool ready = WaitFor([&] { return base::ReadWholeFile(portFile, text) && !text.empty(); },
                             std::chrono::seconds(30));
        port_ = ready ? base::ParseLeadingInt(text) : 0;
        return port_ > 0;
    }

    void Stop() {
        if (!process_)
            return;
        TerminateProcess(process_.Get(), 0);
        WaitForSingleObject(process_.Get(), 10000);
        process_.Reset();
    }

    int Port() const { return port_; }

private:
    base::ScopedHandle process_;
    int port_ = 0;
};

}  // namespace testing_support
