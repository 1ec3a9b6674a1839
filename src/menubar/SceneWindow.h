#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include <optional>

namespace corvane {

// The fixed facts of a window the panel opens by identifier.
struct SceneInfo
{
    QString id;
    QString title;
    QSize defaultSize;
    QSize minimumSize; // empty: no minimum
};

[[nodiscard]] std::optional<SceneInfo> sceneInfo(const QString& id);

// A top-level window for one scene; it lives only while open.
class SceneWindow : public QWidget
{
    Q_OBJECT

public:
    SceneWindow(const SceneInfo& info, QWidget* content);

    [[nodiscard]] const QString& sceneId() const { return m_id; }

private:
    QString m_id;
};

} // namespace corvane
