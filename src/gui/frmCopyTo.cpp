#include "gui/frmCopyTo.h"

#include "groups/CopyToForm.h"
#include "gui/NodePictures.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace corvel {

namespace {
constexpr int RowRole = Qt::UserRole + 1;
}

frmCopyTo::frmCopyTo(CopyToForm &form, QWidget *parent)
    : QDialog(parent)
    , m_form(form)
    , m_tlCopy(new QTreeWidget)
{
    setWindowTitle(CopyToForm::caption());
    m_tlCopy->setObjectName(QStringLiteral("tlCopy"));
    m_tlCopy->setHeaderHidden(true);
    m_tlCopy->setRootIsDecorated(false);

    auto *buttons = new QDialogButtonBox(Qt::Vertical);
    m_ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    QPushButton *newGroup =
        buttons->addButton(QStringLiteral("&New Group"), QDialogButtonBox::ActionRole);
    newGroup->setObjectName(QStringLiteral("newGroup"));
    buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmCopyTo::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(newGroup, &QPushButton::clicked, this, [this] {
        if (m_form.newGroup())
            fillList();
    });
    connect(m_tlCopy, &QTreeWidget::itemClicked, this, &frmCopyTo::rowClicked);
    connect(m_tlCopy, &QTreeWidget::itemActivated, this, &frmCopyTo::rowClicked);
    connect(m_tlCopy, &QTreeWidget::currentItemChanged, this, &frmCopyTo::rowClicked);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_tlCopy, 1);
    layout->addWidget(buttons);
    resize(380, 280);
    fillList();
}

void frmCopyTo::fillList()
{
    const QSignalBlocker blocker(m_tlCopy);
    m_tlCopy->clear();
    NodePictures pictures;
    const qreal ratio = devicePixelRatioF();
    QTreeWidgetItem *root = nullptr;
    QList<QTreeWidgetItem *> items;
    const auto &rows = m_form.rows();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        auto *item = root ? new QTreeWidgetItem(root) : new QTreeWidgetItem(m_tlCopy);
        item->setText(0, rows[i].caption);
        item->setIcon(0, QIcon(pictures.picture(rows[i].picture, ratio)));
        item->setData(0, RowRole, i);
        if (!root)
            root = item;
        items.append(item);
    }
    m_tlCopy->expandAll();
    const int current = m_form.currentRow();
    m_tlCopy->setCurrentItem(current >= 0 && current < items.size() ? items[current] : nullptr);
    m_ok->setEnabled(m_form.okEnabled());
}

void frmCopyTo::rowClicked()
{
    const QTreeWidgetItem *item = m_tlCopy->currentItem();
    if (!item)
        return;
    m_form.clickRow(item->data(0, RowRole).toInt());
    m_ok->setEnabled(m_form.okEnabled());
}

void frmCopyTo::accept()
{
    if (!m_form.okEnabled())
        return;
    m_form.accept();
    QDialog::accept();
}

} // namespace corvel
