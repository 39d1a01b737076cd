#include "SaneSession.h"

struct SaneSession::Private
{};

SaneSession::SaneSession(QObject* parent) : QObject(parent), d(std::make_unique<Private>()) {}
SaneSession::~SaneSession() = default;
void SaneSession::listDevices() {}
void SaneSession::open(const QByteArray&) {}
void SaneSession::readOptions() {}
void SaneSession::setOption(int, const QVariant&) {}
void SaneSession::setAutomatic(int) {}
void SaneSession::startScan(const QString&) {}
void SaneSession::cancel() {}
void SaneSession::close() {}
bool SaneSession::libraryAvailable()
{
    return false;
}
