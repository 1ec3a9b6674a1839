#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace corvane::clipboard {

void setPlainText(const QString& text)
{
    QClipboard* board = QGuiApplication::clipboard();
    board->clear();
    // setText would leave other formats of an earlier owner in place on some platforms.
    auto* data = new QMimeData;
    data->setText(text);
    board->setMimeData(data);
}

} // namespace corvane::clipboard
