#pragma once

#include <QIcon>
#include <QList>
#include <QSize>
#include <QString>
#include <QStyle>

class QWidget;

// Icons that decode their pictures when a pixmap is first asked for, not when
// they are made: Qt decodes every file of an icon at once, and most of the
// window's icons are not drawn at start (menus, hidden pages) or are drawn at
// one size only. Each gives the same pixmaps, sizes and null state as the
// icon it stands for.
namespace LazyIcons {

struct File
{
    QString name;
    QSize size; // the picture's own size
};

// One picture per size. A request decodes only the file Qt would pick for it:
// the smallest picture at least as large, else the largest. The sizes are
// reported from the list without decoding anything.
QIcon fromFiles(const QList<File>& files);

// The style's standard icon, made when first needed. For the pictures the
// window shows at start, Fusion's own files are read one size at a time, as
// fromFiles does. Icons for the same picture of the same style share one
// decoded icon.
QIcon standard(const QWidget* widget, QStyle::StandardPixmap which);

} // namespace LazyIcons
