#include "postgres_cluster.h"

#include "loopback.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace {

const std::string bin = "/usr/lib/postgresql/15/bin/";

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

bool PostgresCluster::installed()
{
    return ::access((bin + "initdb").c_str(), X_OK) == 0 && ::access((bin + "psql").c_str(), X_OK) == 0;
}

std::string PostgresCluster::missing()
{
    return "PostgreSQL 15 is not installed (" + bin + "initdb); install postgresql-15 (scripts/deps.sh)";
}

std::string PostgresCluster::run(const std::string& command) const
{
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe))
        output += buffer.data();
    if (::pclose(pipe) != 0)
        throw std::runtime_error(command + " failed: " + output);
    return output;
}

std::string PostgresCluster::asOwner(const std::string& command) const
{
    return root_ ? "runuser -u postgres -- " + command : command;
}

PostgresCluster::PostgresCluster()
{
    root_ = ::geteuid() == 0;
    char pattern[] = "/tmp/kov-pg-XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    if (root_) {
        const passwd* owner = ::getpwnam("postgres");
        if (!owner || ::chown(dir_.c_str(), owner->pw_uid, owner->pw_gid) != 0)
            throw std::runtime_error("no user postgres to run the cluster as");
    }
    run(asOwner("sh -c " + quoted("echo " + password() + " > " + dir_ + "/pw")));
    run(asOwner(bin + "initdb -D " + dir_ +
        "/data -U kov --auth-local=trust --auth-host=scram-sha-256 --pwfile=" + dir_ +
        "/pw --no-sync -E UTF8 --locale=C"));
    port_ = closedLoopbackPort();
    start();
    query("CREATE DATABASE kov");
}

PostgresCluster::~PostgresCluster()
{
    try {
        run(asOwner(bin + "pg_ctl -D " + dir_ + "/data -m immediate -w stop"));
    } catch (const std::exception&) {}
    std::system(("rm -rf " + quoted(dir_)).c_str());
}

void PostgresCluster::start()
{
    run(asOwner(bin + "pg_ctl -D " + dir_ + "/data -l " + dir_ + "/log -w -o " +
        quoted(
            "-p " + std::to_string(port_) + " -k " + dir_ + " -c listen_addresses=127.0.0.1 -c fsync=off") +
        " start"));
}

void PostgresCluster::stop()
{
    run(asOwner(bin + "pg_ctl -D " + dir_ + "/data -m fast -w stop"));
}

std::string PostgresCluster::url(const std::string& database) const
{
    return "postgresql://kov@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

std::string PostgresCluster::query(const std::string& sql) const
{
    std::string out = run(asOwner(bin + "psql -X -At -h " + dir_ + " -p " + std::to_string(port_) +
        " -U kov -d " + (sql.rfind("CREATE DATABASE", 0) == 0 ? "postgres" : "kov") + " -c " + quoted(sql)));
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}
