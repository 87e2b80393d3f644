#include "settings/watermark_state.h"

#include <QMutex>
#include <QMutexLocker>

namespace skysail {
namespace {

QMutex& Lock()
{
    static QMutex mutex;
    return mutex;
}

WatermarkSnapshot& State()
{
    static WatermarkSnapshot state;
    return state;
}

} // namespace

QString WatermarkSwitch()
{
    QMutexLocker locker(&Lock());
    return State().switchText;
}

void SetWatermarkSwitch(const QString& value)
{
    QMutexLocker locker(&Lock());
    State().switchText = value;
}

QByteArray WatermarkPicture()
{
    QMutexLocker locker(&Lock());
    return State().picture;
}

void SetWatermarkPicture(const QByteArray& picture)
{
    QMutexLocker locker(&Lock());
    State().picture = picture;
}

WatermarkSnapshot ReadWatermark()
{
    QMutexLocker locker(&Lock());
    return State();
}

} // namespace skysail
