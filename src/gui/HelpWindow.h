#pragma once

#include "presentation/HelpIndex.h"

#include <QWidget>

class QHBoxLayout;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

namespace corvel {

// The program's help: its pages in a browser, with the contents and a word search beside.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(const QString &helpDirectory, const QString &appTitle,
                        QWidget *parent = nullptr);

    void HelpContents();
    // An empty keyword opens the search with an empty box.
    void HelpSearch(const QString &keyword);
    void HelpContext(int context);
    void HelpOnHelp();

    // The page shown, by file name; empty when none.
    [[nodiscard]] QString currentPage() const;
    [[nodiscard]] const HelpIndex &index() const { return m_index; }

private:
    void fillContents();
    QWidget *buildSearchPage();
    QHBoxLayout *buildNavigation();
    void showPage(const QString &file);
    void runSearch();
    void present();

    HelpIndex m_index;
    QTabWidget *m_tabs = nullptr;
    QListWidget *m_contents = nullptr;
    QLineEdit *m_search = nullptr;
    QListWidget *m_results = nullptr;
    QTextBrowser *m_browser = nullptr;
};

} // namespace corvel
