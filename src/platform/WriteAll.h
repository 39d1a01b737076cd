// Writing a whole buffer to a file descriptor, through short writes and interruptions.
#pragma once

#include <QByteArray>

// Returns 0 when every byte is written, else the errno of the write that failed.
int writeAll(int fd, const QByteArray& bytes);
