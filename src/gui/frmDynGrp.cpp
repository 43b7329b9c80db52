#include "gui/frmDynGrp.h"

#include "groups/DynGrpForm.h"
#include "gui/NodePictures.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

namespace corvel {

namespace {
constexpr int NodeRole = Qt::UserRole + 1;
}

frmDynGrp::frmDynGrp(DynGrpForm &form, QWidget *parent)
    : QDialog(parent)
    , m_form(form)
    , m_txtName(new QLineEdit(form.name()))
    , m_tlSrce(new QTreeWidget)
    , m_txtCategories(new QLineEdit(form.categories()))
{
    setWindowTitle(form.title());
    if (parent)
        setWindowIcon(parent->window()->windowIcon());
    m_txtName->setObjectName(QStringLiteral("txtName"));
    m_txtCategories->setObjectName(QStringLiteral("txtCategories"));
    m_tlSrce->setObjectName(QStringLiteral("tlSrce"));
    m_tlSrce->setHeaderHidden(true);
    m_tlSrce->viewport()->installEventFilter(this);
    m_tlSrce->installEventFilter(this);

    auto *nameLabel = new QLabel(DynGrpForm::nameLabel());
    nameLabel->setBuddy(m_txtName);
    auto *foldersLabel = new QLabel(DynGrpForm::foldersLabel());
    foldersLabel->setBuddy(m_tlSrce);
    auto *categoriesLabel = new QLabel(DynGrpForm::categoriesLabel());
    categoriesLabel->setBuddy(m_txtCategories);
    auto *lastLoadedLabel = new QLabel(DynGrpForm::lastLoadedLabel());
    auto *lastLoaded = new QLabel(form.lastLoaded());
    lastLoaded->setObjectName(QStringLiteral("lastLoaded"));
    lastLoadedLabel->setVisible(!form.lastLoaded().isEmpty());
    lastLoaded->setVisible(!form.lastLoaded().isEmpty());

    auto *buttons = new QDialogButtonBox;
    m_ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmDynGrp::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_txtName, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_form.setName(text);
        updateOk();
    });
    connect(m_txtCategories, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_form.setCategories(text);
        updateOk();
    });
    connect(m_tlSrce, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        m_form.chooser().setCurrent(item ? nodeOf(item) : m_form.topNode());
        updateOk();
    });

    auto *grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0, 1, 2);
    grid->addWidget(m_txtName, 1, 0, 1, 2);
    grid->addWidget(foldersLabel, 2, 0, 1, 2);
    grid->addWidget(m_tlSrce, 3, 0, 1, 2);
    grid->addWidget(categoriesLabel, 4, 0, 1, 2);
    grid->addWidget(m_txtCategories, 5, 0, 1, 2);
    grid->addWidget(lastLoadedLabel, 6, 0);
    grid->addWidget(lastLoaded, 6, 1);
    grid->addWidget(buttons, 7, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    resize(420, 440);

    fillChooser();
    updateOk();
}

void frmDynGrp::fillChooser()
{
    // The top node stands for no folder: its children are the list's top level.
    const TreeList &tree = m_form.chooser();
    std::vector<std::pair<NodeHandle, QTreeWidgetItem *>> pending;
    for (NodeHandle child : tree.children(m_form.topNode()))
        pending.emplace_back(child, nullptr);
    for (size_t i = 0; i < pending.size(); ++i) {
        const auto [node, parentItem] = pending[i];
        auto *item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(m_tlSrce);
        item->setText(0, tree.caption(node));
        item->setData(0, NodeRole, static_cast<qulonglong>(m_nodes.size()));
        m_nodes.push_back(node);
        m_items.push_back(item);
        for (NodeHandle child : tree.children(node))
            pending.emplace_back(child, item);
    }
    m_tlSrce->expandAll();
    m_tlSrce->setCurrentItem(nullptr);
    refreshPictures();
}

void frmDynGrp::refreshPictures()
{
    NodePictures pictures;
    const qreal ratio = devicePixelRatioF();
    for (size_t i = 0; i < m_items.size(); ++i)
        m_items[i]->setIcon(0,
                            QIcon(pictures.picture(m_form.chooser().picture(m_nodes[i]), ratio)));
}

NodeHandle frmDynGrp::nodeOf(const QTreeWidgetItem *item) const
{
    const auto index = item->data(0, NodeRole).toULongLong();
    return index < m_nodes.size() ? m_nodes[index] : NodeHandle{};
}

void frmDynGrp::updateOk()
{
    m_ok->setEnabled(m_form.okEnabled());
}

bool frmDynGrp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tlSrce && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        m_form.pressSpace();
        refreshPictures();
        updateOk();
        return true;
    }
    if (watched == m_tlSrce->viewport() && event->type() == QEvent::MouseButtonPress) {
        const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
        QTreeWidgetItem *item = m_tlSrce->itemAt(pos);
        if (item) {
            const QRect rect = m_tlSrce->visualItemRect(item);
            const int pictureEnd = rect.left() + m_tlSrce->iconSize().width() + 8;
            if (pos.x() >= rect.left() && pos.x() < std::max(pictureEnd, rect.left() + 24)) {
                m_tlSrce->setCurrentItem(item);
                m_form.clickPicture(nodeOf(item));
                refreshPictures();
                updateOk();
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmDynGrp::accept()
{
    if (!m_form.okEnabled())
        return;
    m_form.accept();
    QDialog::accept();
}

} // namespace corvel
