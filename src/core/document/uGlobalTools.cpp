#include "uGlobalTools.h"

#include <QUuid>

QString GlobalTools::GenerateGUID()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}
