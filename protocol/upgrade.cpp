#include "receiver.h"

void receiver::slot_do_cmd_id_upgrade(const QString fullpath, unsigned int upgrade_frame_length)
{
}

void receiver::upgrade(QString fullpath, unsigned int upgrade_frame_length)
{
    Q_UNUSED(fullpath);
    Q_UNUSED(upgrade_frame_length);
}
