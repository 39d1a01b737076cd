// The numbered picture files "KVF<n>.jpg" that scanned pages and webcam snapshots become:
// the next number in a folder, and a save that never replaces a file already there.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace acquire {

// Largest positive n among the names "KVF<n>.jpg" plus one; 1 when there is none. What
// stands between "KVF" and ".jpg" must be a decimal number: "KVFabc.jpg" counts as 0.
// Names are compared exactly: "kvf9.JPG" is another file on Linux and does not count.
int nextPictureNumber(const QStringList& fileNames);
int nextPictureNumberIn(const QString& folder);

// "KVF" + number padded with zeros to minDigits + ".jpg" (scans use 5, snapshots 1).
QString pictureFileName(int number, int minDigits);

struct SavedPicture
{
    QString path; // empty when the save failed
    int number = 0;
    int error = 0; // errno of the failure
};

// Writes bytes as the file of number in folder, durably (a temporary file, flushed, given
// its name, the folder flushed). A name that is taken by now is never replaced: the next
// number is tried. The new file is announced to the shell. Nothing is left on failure.
SavedPicture saveNumberedPicture(const QString& folder, const QByteArray& bytes, int number,
                                 int minDigits);

} // namespace acquire
