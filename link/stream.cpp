#include "receiver.h"

void receiver::slotReceiver()
{
}

void receiver::slotCalcFreq()
{
}
