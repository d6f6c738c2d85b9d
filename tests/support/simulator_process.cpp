#include "simulator_process.h"

#include "naming_service_process.h"

#include <csignal>
#include <stdexcept>

#ifndef KOV_KOVSIM_PATH
#error "KOV_KOVSIM_PATH must name the kovsim binary"
#endif

namespace {
std::vector<std::string> withNaming(const NamingServiceProcess& naming, const std::vector<std::string>& args)
{
    std::vector<std::string> all = naming.orbArgs();
    all.push_back("--exit-on-eof");
    all.insert(all.end(), args.begin(), args.end());
    return all;
}
} // namespace

std::string SimulatorProcess::binaryPath()
{
    return KOV_KOVSIM_PATH;
}

SimulatorProcess::SimulatorProcess(const std::vector<std::string>& args)
    : process_(std::make_unique<ChildProcess>(binaryPath(), args))
{}

SimulatorProcess::SimulatorProcess(
    const NamingServiceProcess& naming, const std::vector<std::string>& args, Duration readyLimit)
    : SimulatorProcess(withNaming(naming, args))
{
    if (waitForLine("^ready ", readyLimit))
        return;
    process_->terminate(std::chrono::seconds(1));
    throw std::runtime_error("kovsim not ready: " + errorText());
}

std::unique_ptr<SimulatorProcess> SimulatorProcess::startRaw(const std::vector<std::string>& args)
{
    return std::unique_ptr<SimulatorProcess>(new SimulatorProcess(args));
}

SimulatorProcess::~SimulatorProcess()
{
    process_->closeInput();
    if (!process_->waitForExit(std::chrono::seconds(2)))
        process_->terminate(std::chrono::seconds(2));
}

bool SimulatorProcess::send(const std::string& command)
{
    return process_->write(command + "\n");
}

std::optional<std::string> SimulatorProcess::waitForLine(const std::string& pattern, Duration limit)
{
    return process_->waitForLine(ChildProcess::Stream::Output, pattern, limit);
}

std::optional<std::string> SimulatorProcess::waitForErrorLine(const std::string& pattern, Duration limit)
{
    return process_->waitForLine(ChildProcess::Stream::Error, pattern, limit);
}

bool SimulatorProcess::waitForLineCount(const std::string& pattern, std::size_t count, Duration limit)
{
    return process_->waitForLineCount(ChildProcess::Stream::Output, pattern, count, limit);
}

std::vector<std::string> SimulatorProcess::outputLines() const
{
    return process_->lines(ChildProcess::Stream::Output);
}

std::string SimulatorProcess::errorText() const
{
    return process_->text(ChildProcess::Stream::Error);
}

std::optional<int> SimulatorProcess::waitForExit(Duration limit)
{
    return process_->waitForExit(limit);
}

bool SimulatorProcess::running()
{
    return process_->running();
}

pid_t SimulatorProcess::pid() const
{
    return process_->pid();
}

void SimulatorProcess::closeInput()
{
    process_->closeInput();
}

int SimulatorProcess::quit(Duration limit)
{
    send("quit");
    if (const std::optional<int> status = process_->waitForExit(limit))
        return *status;
    return process_->terminate(std::chrono::seconds(1));
}

void SimulatorProcess::kill()
{
    ::kill(process_->pid(), SIGKILL);
    process_->waitForExit(std::chrono::seconds(5));
}
