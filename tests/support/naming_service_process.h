#ifndef KOV_TEST_NAMING_SERVICE_PROCESS_H
#define KOV_TEST_NAMING_SERVICE_PROCESS_H

#include "child_process.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// A private omniNames for one test: a free 127.0.0.1 port, its data in a
// fresh temporary folder, started and answering when the constructor
// returns; killed and its folder removed by the destructor.
//
//   NamingServiceProcess names;
//   SimulatorProcess sim (names, {"--scenario", "none"});
//   ... client words: names.orbArgs () = {"-ORBInitRef", "NameService=corbaloc::127.0.0.1:PORT/NameService"}
class NamingServiceProcess {
public:
    // Throws std::runtime_error (with omniNames' output) when it does not
    // answer within `startLimit`.
    explicit NamingServiceProcess(std::chrono::milliseconds startLimit = std::chrono::seconds(15));
    ~NamingServiceProcess();

    NamingServiceProcess(const NamingServiceProcess&) = delete;
    NamingServiceProcess& operator=(const NamingServiceProcess&) = delete;

    int port() const { return port_; }

    // "corbaloc::127.0.0.1:PORT/NameService"
    std::string corbaloc() const;
    // "NameService=corbaloc::127.0.0.1:PORT/NameService", the -ORBInitRef value
    std::string initRef() const;
    // {"-ORBInitRef", initRef ()}
    std::vector<std::string> orbArgs() const;

    const std::string& dataDir() const { return dataDir_; }
    pid_t pid() const;
    bool running() const;

    // True when "nameclt list" succeeds within `limit`.
    bool answers(std::chrono::milliseconds limit = std::chrono::seconds(2)) const;

    // Ends omniNames now, e.g. to test a naming service that goes away.
    // The data folder stays until destruction. Harmless when repeated.
    void stop();

    // Paths of the programs (from the build configuration).
    static std::string omniNamesPath();
    static std::string namecltPath();

private:
    bool startOn(int port, std::chrono::steady_clock::time_point deadline);

    std::string dataDir_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

#endif
