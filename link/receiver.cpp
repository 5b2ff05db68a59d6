#include "receiver.h"

void receiver::slotOpen(QString _serialSelected, int _baudRate, bool &_result)
{
    _result = false;
}

void receiver::slotClose(bool &_result)
{
    _result = false;
}

bool receiver::openPort(QString portName, int baudRate)
{
    Q_UNUSED(portName);
    Q_UNUSED(baudRate);
    return false;
}

bool receiver::closePort()
{
    return false;
}

bool receiver::isPortOpen()
{
    return false;
}

receiver::receiver(QObject *parent) : QObject(parent), serialPort(nullptr), freqTimer(nullptr),
    distNum(10), portOpen(false), frameCount(0), frameRate(0)
{
}

receiver::~receiver() = default;
