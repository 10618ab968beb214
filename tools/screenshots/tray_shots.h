// Pictures of the tray extra for the screenshot program: the tray icon at each disk rating, the
// panel in its main states, and the confirmation card, each in every skin it is asked for.
#pragma once

#include <QString>
#include <QStringList>

namespace bramwick::Screenshots {

// Writes the PNG files into `folder` and returns their names. `skins` are the stored skin
// names to shoot the panel and the card in; the icon is the same in every skin.
QStringList shootTray(const QString& folder, const QStringList& skins);

} // namespace bramwick::Screenshots
