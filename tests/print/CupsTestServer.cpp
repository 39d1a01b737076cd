#include "CupsTestServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cups/cups.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

namespace printtest {

namespace {

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// CUPS runs its filters as lp, which must be able to enter every folder on the way.
void openTo(const QString& path, bool ownedByLp)
{
    ::chmod(QFile::encodeName(path).constData(), 0755);
    if (!ownedByLp)
        return;
    if (const passwd* lp = ::getpwnam("lp"))
        if (::chown(QFile::encodeName(path).constData(), lp->pw_uid, lp->pw_gid) != 0)
            return;
}

} // namespace

CupsTestServer::CupsTestServer()
{
    mReady = start();
}

CupsTestServer::~CupsTestServer()
{
    for (auto it = mProcesses.rbegin(); it != mProcesses.rend(); ++it) {
        QProcess& process = **it;
        if (process.state() == QProcess::NotRunning)
            continue;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
}

QString CupsTestServer::serverAddress() const
{
    return QStringLiteral("127.0.0.1:%1").arg(mCupsPort);
}

void CupsTestServer::writeFile(const QString& name, const QString& text)
{
    QFile file(mDir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
}

bool CupsTestServer::start()
{
    if (!mDir.isValid()) {
        mError = QStringLiteral("no temporary folder");
        return false;
    }
    openTo(mDir.path(), false);
    const QDir root(mDir.path());
    for (const char* name : {"spool", "temp", "cache", "state", "log", "kept", "ppd"}) {
        root.mkpath(QString::fromLatin1(name));
        openTo(root.filePath(QString::fromLatin1(name)), name != std::string_view("kept"));
    }
    mCupsPort = freePort();
    mPrinterPort = freePort();
    if (mCupsPort == 0 || mPrinterPort == 0 || mCupsPort == mPrinterPort) {
        mError = QStringLiteral("no free loopback ports");
        return false;
    }

    // The simulator wants a D-Bus system bus for its service announcements, even when it
    // announces nothing: a private bus open to all.
    const QString bus = root.filePath(QStringLiteral("bus"));
    writeFile(QStringLiteral("bus.conf"),
              QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                             "Configuration 1.0//EN\" "
                             "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig><type>session</type><listen>unix:path=%1</listen>"
                             "<auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                  .arg(bus));
    writeFile(QStringLiteral("cupsd.conf"),
              QStringLiteral("Listen 127.0.0.1:%1\nLogLevel warn\nBrowsing No\nWebInterface No\n"
                             "DefaultAuthType None\nErrorPolicy abort-job\n"
                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                             "</Policy>\n")
                  .arg(mCupsPort));
    writeFile(QStringLiteral("cups-files.conf"),
              QStringLiteral("FileDevice Yes\nServerRoot %1\nRequestRoot %1/spool\n"
                             "TempDir %1/temp\nCacheDir %1/cache\nStateDir %1/state\n"
                             "ErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                             "PageLog %1/log/page_log\nServerBin /usr/lib/cups\n"
                             "DataDir /usr/share/cups\nSandboxing Relaxed\n")
                  .arg(mDir.path()));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + bus);
    environment.insert(QStringLiteral("CUPS_SERVER"), serverAddress());

    auto& dbus = *mProcesses.emplace_back(std::make_unique<QProcess>());
    if (!startProcess(dbus, QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--nofork"), QStringLiteral("--config-file=") +
                                                       root.filePath(QStringLiteral("bus.conf"))},
                      environment))
        return false;
    const QDeadlineTimer busDeadline(10000);
    while (!QFile::exists(bus) && !busDeadline.hasExpired() && dbus.state() == QProcess::Running)
        dbus.waitForReadyRead(20);
    if (!QFile::exists(bus)) {
        mError = QStringLiteral("the private D-Bus did not start");
        return false;
    }

    // "localhost", not an address: the simulator listens on IPv4 and IPv6 by that name.
    auto& printer = *mProcesses.emplace_back(std::make_unique<QProcess>());
    if (!startProcess(printer, QStringLiteral("ippeveprinter"),
                      {QStringLiteral("-f"), QStringLiteral("application/pdf"),
                       QStringLiteral("-r"), QStringLiteral("off"), QStringLiteral("-k"),
                       QStringLiteral("-p"), QString::number(mPrinterPort), QStringLiteral("-d"),
                       root.filePath(QStringLiteral("kept")), QStringLiteral("-n"),
                       QStringLiteral("localhost"), QStringLiteral("Velko Test Printer")},
                      environment) ||
        !waitForPort(mPrinterPort, printer))
        return false;

    auto& cupsd = *mProcesses.emplace_back(std::make_unique<QProcess>());
    if (!startProcess(cupsd, QStringLiteral("cupsd"),
                      {QStringLiteral("-f"), QStringLiteral("-c"),
                       root.filePath(QStringLiteral("cupsd.conf")), QStringLiteral("-s"),
                       root.filePath(QStringLiteral("cups-files.conf"))},
                      environment) ||
        !waitForPort(mCupsPort, cupsd))
        return false;

    qputenv("CUPS_SERVER", serverAddress().toLatin1());
    return runTool(QStringLiteral("lpadmin"),
                   {QStringLiteral("-h"), serverAddress(), QStringLiteral("-p"), queueName(),
                    QStringLiteral("-E"), QStringLiteral("-v"),
                    QStringLiteral("ipp://127.0.0.1:%1/ipp/print").arg(mPrinterPort),
                    QStringLiteral("-m"), QStringLiteral("everywhere")});
}

bool CupsTestServer::startProcess(QProcess& process, const QString& program,
                                  const QStringList& arguments,
                                  const QProcessEnvironment& environment)
{
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        mError = program + QStringLiteral(" did not start: ") + process.errorString();
        return false;
    }
    return true;
}

bool CupsTestServer::runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        mError = program + QStringLiteral(" failed: ") + QString::fromUtf8(process.readAll());
        return false;
    }
    return true;
}

bool CupsTestServer::waitForPort(quint16 port, const QProcess& process)
{
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200))
            return true;
        // Refused at once while the server is still starting: give it a moment.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    mError =
        process.program() + QStringLiteral(" is not listening on port ") + QString::number(port);
    return false;
}

QStringList CupsTestServer::keptDocuments() const
{
    const QDir kept(mDir.filePath(QStringLiteral("kept")));
    QStringList paths;
    for (const QFileInfo& file : kept.entryInfoList(QDir::Files, QDir::Time | QDir::Reversed))
        paths.append(file.absoluteFilePath());
    return paths;
}

bool CupsTestServer::waitForKeptDocuments(int count, std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    while (!deadline.hasExpired()) {
        cups_job_t* jobs = nullptr;
        const int pending = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queueName().toUtf8().constData(),
                                         0, CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(pending, jobs);
        if (pending == 0 && keptDocuments().size() >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace printtest
