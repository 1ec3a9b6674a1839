#include "SceneWindow.h"

#include <QVBoxLayout>

namespace corvane {

std::optional<SceneInfo> sceneInfo(const QString& id)
{
    if (id == QLatin1String("monitor-settings"))
        return SceneInfo{id, QStringLiteral("Corvane Monitor Settings"), QSize(880, 750),
                         QSize(780, 640)};
    if (id == QLatin1String("monitor-diagnostics"))
        return SceneInfo{id, QStringLiteral("Server Diagnostics"), QSize(760, 600), QSize()};
    return std::nullopt;
}

SceneWindow::SceneWindow(const SceneInfo& info, QWidget* content)
    : QWidget(nullptr, Qt::Window), m_id(info.id)
{
    setObjectName(info.id);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(info.title);
    if (!info.minimumSize.isEmpty())
        setMinimumSize(info.minimumSize);
    resize(info.defaultSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window's own minimum is the only one: content never makes it larger.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(content);
}

} // namespace corvane
