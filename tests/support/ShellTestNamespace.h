// A whole shell namespace in a temporary folder: a home with a desktop inside, a media
// folder, a label folder and a mount table the test writes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <ostream>

class ShellTestNamespace
{
public:
    // The desktop folder lies inside the home unless told otherwise.
    explicit ShellTestNamespace(const QByteArray& desktopFolder = "home/Desktop");
    ~ShellTestNamespace();

    bool isValid() const { return mDir.isValid(); }
    QByteArray path(const QByteArray& relative = {}) const;
    QByteArray home() const { return path("home"); }
    QByteArray desktop() const { return path(mDesktop); }
    QByteArray media() const { return path("media"); }
    QByteArray mountTable() const { return path("etc/mountinfo"); }

    void makeFolder(const QByteArray& relative) const;
    void removeFolder(const QByteArray& relative) const;
    void writeFile(const QByteArray& relative, const QByteArray& content = {}) const;
    // Replaces the mount table atomically, as a writer that must not be read half-done would.
    void writeMountTable(const QByteArray& text) const;
    // One mountinfo line; escapes the mount point the way the kernel does.
    static QByteArray mountLine(int id, const QByteArray& mountPoint, const QByteArray& fsType,
                                const QByteArray& source, const QByteArray& root = "/");
    // "/" plus the usual pseudo file systems.
    static QByteArray baseMounts();

    // Points the namespace at this folder (environment + reset).
    void apply() const;

private:
    QTemporaryDir mDir;
    QByteArray mRoot;
    QByteArray mDesktop;
};

// Readable gtest output for Qt strings.
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.toStdString() << '"';
}
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
