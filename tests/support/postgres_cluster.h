#ifndef KOV_TEST_POSTGRES_CLUSTER_H
#define KOV_TEST_POSTGRES_CLUSTER_H

#include <string>

// A private PostgreSQL 15 cluster for one test: initdb in a fresh temporary
// folder, a free 127.0.0.1 port, the role "kov" with the password
// password() over TCP (trust only on its own socket) and a database "kov".
// Run as the user "postgres" when the test runs as root (initdb refuses
// root). Stopped and removed by the destructor.
//
//   if (!PostgresCluster::installed()) GTEST_SKIP() << PostgresCluster::missing();
//   PostgresCluster db;
//   setenv("PGPASSWORD", db.password().c_str(), 1);
//   ... kovrecorder --archive db.url()
class PostgresCluster {
public:
    static bool installed();
    // Why the tests that need it are skipped.
    static std::string missing();

    // Throws std::runtime_error with the tool's output when it cannot start.
    PostgresCluster();
    ~PostgresCluster();

    PostgresCluster(const PostgresCluster&) = delete;
    PostgresCluster& operator=(const PostgresCluster&) = delete;

    void stop();  // fast shutdown: connections are cut
    void start(); // again, on the same port

    int port() const { return port_; }
    std::string password() const { return "kov-test-secret"; }
    // "postgresql://kov@127.0.0.1:PORT/DATABASE"
    std::string url(const std::string& database = "kov") const;
    // psql -At: the answer's text, lines joined by '\n'. Throws on failure.
    std::string query(const std::string& sql) const;

private:
    std::string run(const std::string& command) const;
    std::string asOwner(const std::string& command) const;

    std::string dir_;
    int port_ = 0;
    bool root_ = false;
};

#endif
