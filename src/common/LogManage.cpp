#include "LogManage.h"

#include <QDebug>

int log_manage_startup()
{
    qDebug().noquote() << "dy_log_manage_startup == NULL\r\n";
    return 0;
}
