#include "gui/HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace corvel {

HelpWindow::HelpWindow(const QString &helpDirectory, const QString &appTitle, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_index(helpDirectory)
{
    setObjectName(u"frmHelp"_s);
    setWindowTitle(u"%1 Help"_s.arg(appTitle));
    m_index.load();

    m_contents = new QListWidget(this);
    m_contents->setObjectName(u"lstContents"_s);
    fillContents();
    QWidget *searchPage = buildSearchPage();
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(m_contents, u"&Contents"_s);
    m_tabs->addTab(searchPage, u"&Search"_s);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(u"txtPage"_s);
    m_browser->setSearchPaths({helpDirectory});
    m_browser->setOpenExternalLinks(true);
    QHBoxLayout *navigation = buildNavigation();

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 520});
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(navigation);
    layout->addWidget(splitter, 1);

    const auto openItem = [this](QListWidgetItem *item) {
        if (item)
            showPage(item->data(Qt::UserRole).toString());
    };
    connect(m_contents, &QListWidget::itemActivated, this, openItem);
    connect(m_contents, &QListWidget::itemClicked, this, openItem);
    connect(m_results, &QListWidget::itemActivated, this, openItem);
    connect(m_results, &QListWidget::itemClicked, this, openItem);
    resize(780, 560);
}

// The contents page first, then the topics in their file order.
void HelpWindow::fillContents()
{
    for (const HelpIndex::Topic &topic : m_index.topics()) {
        auto *item = new QListWidgetItem(topic.title);
        item->setData(Qt::UserRole, topic.file);
        if (topic.file == HelpIndex::contentsPage())
            m_contents->insertItem(0, item);
        else
            m_contents->addItem(item);
    }
}

QWidget *HelpWindow::buildSearchPage()
{
    m_search = new QLineEdit(this);
    m_search->setObjectName(u"txtSearch"_s);
    m_search->setPlaceholderText(u"Words to find"_s);
    m_search->setClearButtonEnabled(true);
    auto *find = new QPushButton(u"&Find"_s, this);
    m_results = new QListWidget(this);
    m_results->setObjectName(u"lstResults"_s);
    m_results->setWordWrap(true);
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(find);
    auto *searchPage = new QWidget(this);
    auto *searchLayout = new QVBoxLayout(searchPage);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    searchLayout->addLayout(searchRow);
    searchLayout->addWidget(m_results, 1);

    connect(m_search, &QLineEdit::returnPressed, this, &HelpWindow::runSearch);
    connect(find, &QPushButton::clicked, this, &HelpWindow::runSearch);
    return searchPage;
}

// Back, forward and home over the browser's history.
QHBoxLayout *HelpWindow::buildNavigation()
{
    auto *back = new QToolButton(this);
    back->setText(u"< &Back"_s);
    auto *forward = new QToolButton(this);
    forward->setText(u"&Forward >"_s);
    auto *home = new QToolButton(this);
    home->setText(u"C&ontents"_s);
    auto *navigation = new QHBoxLayout;
    navigation->addWidget(back);
    navigation->addWidget(forward);
    navigation->addWidget(home);
    navigation->addStretch();

    connect(back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    connect(home, &QToolButton::clicked, this, [this] { showPage(HelpIndex::contentsPage()); });
    back->setEnabled(false);
    forward->setEnabled(false);
    return navigation;
}

void HelpWindow::present()
{
    show();
    raise();
    activateWindow();
}

void HelpWindow::showPage(const QString &file)
{
    if (m_index.topics().empty()) {
        m_browser->setHtml(u"<h2>Help is not installed</h2><p>The help pages were not found "
                           "in <code>%1</code>.</p>"_s.arg(m_index.directory().toHtmlEscaped()));
        return;
    }
    m_browser->setSource(QUrl::fromLocalFile(QDir(m_index.directory()).filePath(file)));
}

QString HelpWindow::currentPage() const
{
    const QUrl source = m_browser->source();
    return source.isEmpty() ? QString() : QFileInfo(source.toLocalFile()).fileName();
}

void HelpWindow::HelpContents()
{
    m_tabs->setCurrentIndex(0);
    showPage(HelpIndex::contentsPage());
    present();
}

void HelpWindow::HelpSearch(const QString &keyword)
{
    m_tabs->setCurrentIndex(1);
    m_search->setText(keyword);
    if (currentPage().isEmpty())
        showPage(HelpIndex::contentsPage());
    runSearch();
    present();
    m_search->setFocus();
}

void HelpWindow::HelpContext(int context)
{
    const QString page = HelpIndex::pageForContext(context);
    showPage(page.isEmpty() ? HelpIndex::contentsPage() : page);
    present();
}

void HelpWindow::HelpOnHelp()
{
    showPage(HelpIndex::helpOnHelpPage());
    present();
}

void HelpWindow::runSearch()
{
    m_results->clear();
    const QString query = m_search->text();
    if (query.trimmed().isEmpty())
        return;
    const auto matches = m_index.search(query);
    if (matches.empty()) {
        auto *none = new QListWidgetItem(u"No topic holds \"%1\"."_s.arg(query.trimmed()));
        none->setFlags(Qt::NoItemFlags);
        m_results->addItem(none);
        return;
    }
    for (const HelpIndex::Match &match : matches) {
        auto *item = new QListWidgetItem(match.title);
        item->setToolTip(match.excerpt);
        item->setData(Qt::UserRole, match.file);
        m_results->addItem(item);
    }
}

} // namespace corvel
