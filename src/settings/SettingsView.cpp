#include "SettingsView.h"

#include "ServerListModel.h"
#include "ServerRowDelegate.h"
#include "SettingsTexts.h"

#include "ViewKit.h"
#include "monitor/ServerMonitor.h"
#include "platform/gui/Palette.h"
#include "platform/gui/Symbols.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace corvane {

namespace {

QLineEdit* field(const QString& title, const QString& objectName)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(objectName);
    edit->setAccessibleName(title);
    return edit;
}

QCheckBox* checkBox(const QString& title, const QString& objectName)
{
    auto* box = new QCheckBox(title);
    box->setObjectName(objectName);
    box->setAccessibleName(title);
    return box;
}

void setTextIfOther(QLineEdit* edit, const QString& text)
{
    // Rewriting an equal text would move the cursor while the user types.
    if (edit->text() == text)
        return;
    const QSignalBlocker block(edit);
    edit->setText(text);
    // A loaded value reads from its start, not from where a long command ends.
    edit->setCursorPosition(0);
}

void setCheckedIfOther(QCheckBox* box, bool on)
{
    if (box->isChecked() == on)
        return;
    const QSignalBlocker block(box);
    box->setChecked(on);
}

void makeProminent(QPushButton* button)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, palette.color(QPalette::Highlight));
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::HighlightedText));
    button->setPalette(palette);
}

} // namespace

SettingsView::SettingsView(ServerMonitor& monitor, QWidget* parent)
    : QWidget(parent), m_state(new SettingsState(monitor, this))
{
    setObjectName(QStringLiteral("settingsView"));
    m_model = new ServerListModel(
        monitor, [this](const QList<qsizetype>& from, qsizetype to) { m_state->move(from, to); },
        this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto* servers = new QWidget;
    servers->setObjectName(QStringLiteral("serverColumn"));
    auto* serverColumn = new QVBoxLayout(servers);
    serverColumn->setSpacing(8);
    buildServerColumn(serverColumn);
    row->addWidget(servers);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    row->addWidget(divider);

    // The editor scrolls when the window is shorter than its content.
    auto* editorArea = new QScrollArea;
    editorArea->setObjectName(QStringLiteral("editorArea"));
    editorArea->setFrameShape(QFrame::NoFrame);
    editorArea->setWidgetResizable(true);
    editorArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editorArea->setMinimumWidth(editorMinimumWidth);
    // Its fields take the focus; it scrolls to the focused one.
    editorArea->setFocusPolicy(Qt::NoFocus);
    auto* editor = new QWidget;
    editor->setObjectName(QStringLiteral("editorColumn"));
    editor->setMinimumWidth(editorMinimumWidth);
    auto* editorColumn = new QVBoxLayout(editor);
    editorColumn->setContentsMargins(20, 20, 20, 20);
    editorColumn->setSpacing(14);

    QFont titleFont = textstyles::font(TextStyle::title3);
    titleFont.setBold(true);
    m_title = viewkit::text(QString(), titleFont);
    m_title->setObjectName(QStringLiteral("editorTitle"));
    editorColumn->addWidget(m_title);

    buildForm(editorColumn);
    buildServiceBlock(editorColumn);

    m_help = viewkit::text(settingstexts::helpText(), TextStyle::caption, ColorRole::secondary);
    m_help->setObjectName(QStringLiteral("helpText"));
    m_help->setWordWrap(true);
    editorColumn->addWidget(m_help);

    m_validation = viewkit::text(QString(), TextStyle::caption, ColorRole::red);
    m_validation->setObjectName(QStringLiteral("validation"));
    m_validation->setWordWrap(true);
    editorColumn->addWidget(m_validation);

    auto* actions = new QHBoxLayout;
    m_newServer = new QPushButton(QStringLiteral("New Server"));
    m_newServer->setObjectName(QStringLiteral("newServer"));
    m_newServer->setAccessibleName(m_newServer->text());
    m_newServer->setAutoDefault(false);
    actions->addWidget(m_newServer);
    actions->addStretch(1);
    m_save = new QPushButton(QStringLiteral("Save and Refresh"));
    m_save->setObjectName(QStringLiteral("saveAndRefresh"));
    m_save->setAccessibleName(m_save->text());
    m_save->setAutoDefault(false);
    makeProminent(m_save);
    actions->addWidget(m_save);
    editorColumn->addLayout(actions);

    editorColumn->addWidget(viewkit::divider());

    auto* settings = new QHBoxLayout;
    auto* intervalLabel = new QLabel(QStringLiteral("Refresh every"));
    intervalLabel->setTextFormat(Qt::PlainText);
    settings->addWidget(intervalLabel);
    m_interval = new QComboBox;
    m_interval->setObjectName(QStringLiteral("intervalPicker"));
    m_interval->setAccessibleName(QStringLiteral("Refresh every"));
    for (const qint64 minutes : settingstexts::intervalChoices())
        m_interval->addItem(settingstexts::intervalLabel(minutes), QVariant::fromValue(minutes));
    intervalLabel->setBuddy(m_interval);
    settings->addWidget(m_interval);
    settings->addSpacing(16);
    m_notifications =
        checkBox(QStringLiteral("Notifications"), QStringLiteral("notificationsSwitch"));
    settings->addWidget(m_notifications);
    settings->addStretch(1);
    editorColumn->addLayout(settings);
    editorColumn->addStretch(1);

    editorArea->setWidget(editor);
    row->addWidget(editorArea, 1);

    connect(m_newServer, &QPushButton::clicked, m_state, &SettingsState::newProfile);
    connect(m_save, &QPushButton::clicked, m_state, &SettingsState::save);
    connect(m_interval, &QComboBox::activated, this,
            [this](int index) { m_state->setInterval(m_interval->itemData(index).toLongLong()); });
    connect(m_notifications, &QCheckBox::toggled, m_state, &SettingsState::setNotifications);

    connect(m_state, &SettingsState::changed, this, &SettingsView::render);
    connect(&monitor, &ServerMonitor::resultsChanged, this, &SettingsView::renderServices);
    connect(&monitor, &ServerMonitor::serversChanged, this, &SettingsView::render);
    connect(m_model, &QAbstractItemModel::modelReset, this, &SettingsView::syncSelection);
    render();
}

SettingsView::~SettingsView() = default;

void SettingsView::buildServerColumn(QVBoxLayout* column)
{
    auto* heading = viewkit::text(QStringLiteral("Servers"), TextStyle::headline);
    heading->setObjectName(QStringLiteral("serversHeading"));
    heading->setFixedWidth(serverColumnWidth);
    column->addWidget(heading);

    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("serverList"));
    m_list->setAccessibleName(QStringLiteral("Servers"));
    m_list->setFixedWidth(serverColumnWidth);
    m_list->setModel(m_model);
    m_list->setItemDelegate(new ServerRowDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setDragEnabled(true);
    m_list->setAcceptDrops(true);
    m_list->setDropIndicatorShown(true);
    // The model takes only its own row data, and only as a move.
    m_list->setDragDropMode(QAbstractItemView::DragDrop);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setUniformItemSizes(true);
    column->addWidget(m_list, 1);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SettingsView::listSelectionChanged);

    auto* buttons = new QHBoxLayout;
    const QColor ink = palette().color(QPalette::ButtonText);
    m_add = new QToolButton;
    m_add->setObjectName(QStringLiteral("addServer"));
    m_add->setAccessibleName(QStringLiteral("Add Server"));
    m_add->setToolTip(QStringLiteral("Add Server"));
    m_add->setAutoRaise(true);
    m_add->setIcon(symbols::icon(QStringLiteral("plus"), ink));
    m_add->setProperty("symbol", QStringLiteral("plus"));
    buttons->addWidget(m_add);
    m_remove = new QToolButton;
    m_remove->setObjectName(QStringLiteral("removeServer"));
    m_remove->setAccessibleName(QStringLiteral("Remove Server"));
    m_remove->setToolTip(QStringLiteral("Remove Server"));
    m_remove->setAutoRaise(true);
    m_remove->setIcon(symbols::icon(QStringLiteral("minus"), ink));
    m_remove->setProperty("symbol", QStringLiteral("minus"));
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    column->addLayout(buttons);

    connect(m_add, &QToolButton::clicked, this, [this] { m_state->newProfile(); });
    connect(m_remove, &QToolButton::clicked, this, [this] { m_state->removeEdited(); });
}

void SettingsView::editDraft(const std::function<void(ServerProfile&)>& edit)
{
    ServerProfile draft = m_state->draft();
    edit(draft);
    m_state->setDraft(draft);
}

void SettingsView::buildForm(QVBoxLayout* column)
{
    auto* form = new QFormLayout;
    form->setObjectName(QStringLiteral("profileForm"));
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);

    struct Row
    {
        QLineEdit** edit;
        const char* title;
        const char* objectName;
        QString ServerProfile::*member;
    };
    const Row rows[] = {
        {&m_name, "Display name", "nameField", &ServerProfile::name},
        {&m_host, "Host / SSH alias", "hostField", &ServerProfile::host},
        {&m_user, "SSH username", "userField", &ServerProfile::user},
        {&m_port, "SSH port", "portField", &ServerProfile::port},
        {&m_keyFile, "SSH key path (optional)", "keyFileField", &ServerProfile::keyFile},
        {&m_command, "Remote health command", "commandField", &ServerProfile::remoteCommand},
    };
    for (const Row& row : rows) {
        const QString title = QString::fromLatin1(row.title);
        QLineEdit* edit = field(title, QString::fromLatin1(row.objectName));
        *row.edit = edit;
        auto* label = new QLabel(title);
        label->setTextFormat(Qt::PlainText);
        label->setBuddy(edit);
        form->addRow(label, edit);
        const auto member = row.member;
        connect(edit, &QLineEdit::textEdited, this, [this, member](const QString& text) {
            editDraft([&](ServerProfile& draft) { draft.*member = text; });
        });
    }
    m_enabled = checkBox(QStringLiteral("Monitoring enabled"), QStringLiteral("enabledSwitch"));
    form->addRow(QString(), m_enabled);
    m_discover = checkBox(QStringLiteral("Automatically discover services"),
                          QStringLiteral("discoverSwitch"));
    form->addRow(QString(), m_discover);
    connect(m_enabled, &QCheckBox::toggled, this,
            [this](bool on) { editDraft([&](ServerProfile& draft) { draft.enabled = on; }); });
    connect(m_discover, &QCheckBox::toggled, this, [this](bool on) {
        editDraft([&](ServerProfile& draft) { draft.discoverServices = on; });
    });
    column->addLayout(form);
}

void SettingsView::buildServiceBlock(QVBoxLayout* outer)
{
    auto* block = new QWidget;
    block->setObjectName(QStringLiteral("serviceConfiguration"));
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto* header = new QHBoxLayout;
    QLabel* heading = viewkit::text(QStringLiteral("Service monitoring"), TextStyle::headline);
    heading->setObjectName(QStringLiteral("serviceHeading"));
    header->addWidget(heading);
    header->addStretch(1);
    m_refreshServices = new QPushButton(QStringLiteral("Refresh services"));
    m_refreshServices->setObjectName(QStringLiteral("refreshServices"));
    m_refreshServices->setAccessibleName(m_refreshServices->text());
    m_refreshServices->setAutoDefault(false);
    header->addWidget(m_refreshServices);
    column->addLayout(header);

    QLabel* explanation = viewkit::text(settingstexts::serviceExplanation(), TextStyle::caption,
                                        ColorRole::secondary);
    explanation->setObjectName(QStringLiteral("serviceExplanation"));
    explanation->setWordWrap(true);
    column->addWidget(explanation);

    m_showUninstalled =
        checkBox(QStringLiteral("Show not installed services"), QStringLiteral("showUninstalled"));
    m_showUninstalled->setFont(textstyles::font(TextStyle::caption));
    column->addWidget(m_showUninstalled, 0, Qt::AlignLeft);

    m_noServices =
        viewkit::text(settingstexts::noServicesText(), TextStyle::caption, ColorRole::secondary);
    m_noServices->setObjectName(QStringLiteral("noServices"));
    m_noServices->setWordWrap(true);
    column->addWidget(m_noServices);

    m_serviceArea = new QScrollArea;
    m_serviceArea->setObjectName(QStringLiteral("serviceList"));
    m_serviceArea->setAccessibleName(QStringLiteral("Services"));
    m_serviceArea->setWidgetResizable(true);
    m_serviceArea->setFocusPolicy(Qt::NoFocus);
    m_serviceArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_serviceArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    column->addWidget(m_serviceArea);

    auto* add = new QHBoxLayout;
    m_addField = field(QStringLiteral("Add required service (e.g. mysql)"),
                       QStringLiteral("addServiceField"));
    m_addField->setPlaceholderText(m_addField->accessibleName());
    add->addWidget(m_addField, 1);
    m_addButton = new QPushButton(QStringLiteral("Add Required"));
    m_addButton->setObjectName(QStringLiteral("addRequired"));
    m_addButton->setAccessibleName(m_addButton->text());
    m_addButton->setAutoDefault(false);
    add->addWidget(m_addButton);
    column->addLayout(add);

    m_summary = viewkit::text(QString(), TextStyle::caption, ColorRole::secondary);
    m_summary->setObjectName(QStringLiteral("requiredSummary"));
    m_summary->setWordWrap(true);
    column->addWidget(m_summary);
    outer->addWidget(block);

    connect(m_refreshServices, &QPushButton::clicked, this,
            [this] { (void)m_state->refreshServices(); });
    connect(m_showUninstalled, &QCheckBox::toggled, m_state, &SettingsState::setShowUninstalled);
    connect(m_addField, &QLineEdit::textEdited, m_state, &SettingsState::setNewRequiredService);
    connect(m_addField, &QLineEdit::returnPressed, m_state, &SettingsState::addRequiredService);
    connect(m_addButton, &QPushButton::clicked, m_state, &SettingsState::addRequiredService);
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Once per window: a restore from minimised is not an opening.
    if (!m_shownOnce && !event->spontaneous()) {
        m_shownOnce = true;
        m_state->shown();
    }
}

void SettingsView::render()
{
    const SettingsState& state = *m_state;
    const ServerProfile& draft = state.draft();
    m_title->setText(settingstexts::editorTitle(state.editingID()));
    m_remove->setEnabled(state.editingID().has_value());

    setTextIfOther(m_name, draft.name);
    setTextIfOther(m_host, draft.host);
    setTextIfOther(m_user, draft.user);
    setTextIfOther(m_port, draft.port);
    setTextIfOther(m_keyFile, draft.keyFile);
    setTextIfOther(m_command, draft.remoteCommand);
    setCheckedIfOther(m_enabled, draft.enabled);
    setCheckedIfOther(m_discover, draft.discoverServices);

    m_refreshServices->setEnabled(state.editingID().has_value());
    setCheckedIfOther(m_showUninstalled, state.showUninstalled());
    setTextIfOther(m_addField, state.newRequiredService());
    m_addButton->setEnabled(state.canAddRequiredService());
    const QString summary = settingstexts::requiredSummary(draft.requiredServices);
    m_summary->setText(summary);
    m_summary->setVisible(!summary.isEmpty());
    renderServices();

    m_validation->setText(state.validation());
    m_validation->setVisible(!state.validation().isEmpty());

    {
        const QSignalBlocker block(m_interval);
        m_interval->setCurrentIndex(
            int(settingstexts::intervalChoices().indexOf(state.interval())));
    }
    setCheckedIfOther(m_notifications, state.notifications());
    syncSelection();
}

void SettingsView::renderServices()
{
    const QList<DiscoveredService> services = m_state->visibleServices();
    const QStringList& required = m_state->draft().requiredServices;
    m_noServices->setVisible(services.isEmpty());
    m_serviceArea->setVisible(!services.isEmpty());

    if (services == m_shownServices && m_serviceRows) {
        for (QCheckBox* box : std::as_const(m_requiredSwitches))
            setCheckedIfOther(box, required.contains(box->property("service").toString()));
        return;
    }

    // The old rows may be inside the very click that caused this redraw; setWidget() would
    // delete them at once.
    if (QWidget* old = m_serviceArea->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    m_shownServices = services;
    m_requiredSwitches.clear();

    auto* rows = new QWidget;
    rows->setObjectName(QStringLiteral("serviceRows"));
    auto* stack = new QVBoxLayout(rows);
    stack->setContentsMargins(6, 6, 6, 6);
    stack->setSpacing(6);
    const QFont rowFont = textstyles::systemFont(12);
    for (const DiscoveredService& service : services) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("serviceRow"));
        row->setProperty("service", service.name);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(8);
        QLabel* symbol =
            viewkit::symbol(service.symbol(), service.color(), viewkit::symbolSide(rowFont));
        symbol->setFixedWidth(20);
        symbol->setAlignment(Qt::AlignCenter);
        line->addWidget(symbol);
        QLabel* name = viewkit::text(service.name, rowFont);
        name->setObjectName(QStringLiteral("serviceName"));
        line->addWidget(name, 1);
        QLabel* title = viewkit::text(service.title(), TextStyle::caption, ColorRole::secondary);
        title->setObjectName(QStringLiteral("serviceTitle"));
        line->addWidget(title);
        auto* box = new QCheckBox;
        box->setObjectName(QStringLiteral("requiredSwitch"));
        box->setProperty("service", service.name);
        // The label "Required" is not drawn, so the name says which service it is.
        box->setAccessibleName(QStringLiteral("Required ") + service.name);
        box->setToolTip(settingstexts::requireTooltip(service.name));
        box->setChecked(required.contains(service.name));
        const QString serviceName = service.name;
        connect(box, &QCheckBox::toggled, this,
                [this, serviceName](bool on) { m_state->setRequired(serviceName, on); });
        line->addWidget(box);
        m_requiredSwitches.append(box);
        stack->addWidget(row);
    }
    m_serviceRows = rows;
    m_serviceArea->setWidget(rows);
    const int height = rows->sizeHint().height() + 2 * m_serviceArea->frameWidth();
    m_serviceArea->setFixedHeight(std::min(height, serviceListMaxHeight));
    fixTabOrder();
}

void SettingsView::syncSelection()
{
    const std::optional<QUuid>& id = m_state->editingID();
    const QModelIndex wanted = id ? m_model->indexOf(*id) : QModelIndex();
    QItemSelectionModel* selection = m_list->selectionModel();
    const QModelIndexList current = selection->selectedIndexes();
    if (wanted.isValid() ? (current.size() == 1 && current.first() == wanted) : current.isEmpty())
        return;
    m_selecting = true;
    if (wanted.isValid())
        selection->setCurrentIndex(wanted, QItemSelectionModel::ClearAndSelect);
    else
        selection->clear();
    m_selecting = false;
}

void SettingsView::listSelectionChanged()
{
    if (m_selecting)
        return;
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        m_state->setEditingID(std::nullopt);
    else
        m_state->setEditingID(selected.first().data(ServerListModel::IdRole).value<QUuid>());
}

void SettingsView::fixTabOrder()
{
    QList<QWidget*> order{m_list,           m_add,     m_remove,   m_name,
                          m_host,           m_user,    m_port,     m_keyFile,
                          m_command,        m_enabled, m_discover, m_refreshServices,
                          m_showUninstalled};
    for (QCheckBox* box : std::as_const(m_requiredSwitches))
        order.append(box);
    order << m_addField << m_addButton << m_newServer << m_save << m_interval << m_notifications;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

} // namespace corvane
