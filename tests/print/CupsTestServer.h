// A private CUPS server with one queue that prints to an IPP printer simulator, both on
// loopback, for tests that print through CUPS. The simulator keeps every document it gets.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <vector>

namespace printtest {

class CupsTestServer
{
public:
    // Starts the simulator and cupsd, adds the queue and points this process's CUPS clients
    // at the server (CUPS_SERVER), so it must come before the first CUPS call.
    CupsTestServer();
    // Stops both servers and removes their files.
    ~CupsTestServer();
    CupsTestServer(const CupsTestServer&) = delete;
    CupsTestServer& operator=(const CupsTestServer&) = delete;

    bool isReady() const { return mReady; }
    // What failed while starting.
    const QString& errorText() const { return mError; }

    static QString queueName() { return QStringLiteral("velko-test-printer"); }
    // "127.0.0.1:port"
    QString serverAddress() const;

    // The documents the simulator kept, oldest first.
    QStringList keptDocuments() const;
    // Waits until the simulator holds at least count documents and CUPS has no job pending.
    bool waitForKeptDocuments(int count, std::chrono::milliseconds limit);

private:
    bool start();
    bool startProcess(QProcess& process, const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment);
    bool runTool(const QString& program, const QStringList& arguments);
    bool waitForPort(quint16 port, const QProcess& process);
    void writeFile(const QString& name, const QString& text);

    QTemporaryDir mDir;
    quint16 mCupsPort = 0;
    quint16 mPrinterPort = 0;
    // Stopped in reverse order of starting.
    std::vector<std::unique_ptr<QProcess>> mProcesses;
    bool mReady = false;
    QString mError;
};

} // namespace printtest
