#pragma once

#include "settings/settings_keys.h"

#include <QByteArray>
#include <QString>

namespace skysail {

// The program-wide WatermarkSwitch and WatermarkPicture. Written on the UI thread (start-up,
// the watermark window) and read by the upload worker once per image, so both live behind
// one lock and the worker takes them as one consistent snapshot.
struct WatermarkSnapshot
{
    QString switchText; // the raw setting; on only when exactly "开启"
    QByteArray picture;

    bool IsEnabled() const { return IsOn(switchText); }
};

QString WatermarkSwitch();
void SetWatermarkSwitch(const QString& value);
QByteArray WatermarkPicture();
void SetWatermarkPicture(const QByteArray& picture);
WatermarkSnapshot ReadWatermark();

} // namespace skysail
