#pragma once

#include "net/gui/AppRecommendItem.h"
#include "net/http/WebRequestDelegate.h"

#include <QWidget>

class AppGotoCell;
class AppRecommendModel;
class QLabel;
class QProgressBar;
class QTableView;

// The window listing the maker's other products, fetched from the maker's server
// ("/jsons/products.json") each time it is shown. The list appears as soon as it arrives; each
// thumbnail (http or https only, up to 2 MB) follows on its own when its image has loaded (a
// failed one stays empty). A product's store button opens its store page (http, https or a
// software-centre `appstream:` address). Texts from the list are shown as plain text.
// The class name keeps its spelling: docs/ARCHITECTURE.md, "Kept as they are".
// Thread: main thread.
class AppRecommandWndCtl : public QWidget, public WebRequestDelegate
{
    Q_OBJECT

public:
    explicit AppRecommandWndCtl(QWidget *parent = nullptr);
    ~AppRecommandWndCtl() override;

    // Shows the window and fetches the product list again.
    void showWindow();
    void closeDown();
    // Opens the store page of the product in the selected row (nothing when no row is selected
    // or its link is neither a web address nor an `appstream:` one).
    void viewAppstoreDown();

    const QList<AppRecommendItem> &items() const;
    QTableView *tableView() const { return m_tableView; }
    QWidget *loadingView() const { return m_loadingView; }
    QLabel *loadingTip() const { return m_loadingTip; }
    QProgressBar *progressIndicator() const { return m_pIndicator; }
    AppGotoCell *gotoCell() const { return m_gotoCell; }

    void requestDidFinishLoad(WebRequest *request) override;
    void requestDidFailLoadWithError(WebRequest *request, const WebError &error) override;
    void requestDidCancelLoad(WebRequest *request) override;

private:
    void buildLayout();
    void fitOnScreen();
    void showLoadingPanel();
    void hideLoadingPanel();
    void showFailure(const WebError &error);
    void listDidLoad(const QByteArray &data);
    void thumbnailDidLoad(WebRequest *request, const QByteArray &data);
    void loadThumbnail(int row, const QString &imageUrl);
    bool isProductListRequest(const WebRequest *request) const;

    AppRecommendModel *m_model = nullptr;
    QTableView *m_tableView = nullptr;
    QWidget *m_loadingView = nullptr;
    QProgressBar *m_pIndicator = nullptr;
    QLabel *m_loadingTip = nullptr;
    AppGotoCell *m_gotoCell = nullptr;
    // Thumbnails of an older list must not land in the rows of a newer one.
    int m_listGeneration = 0;
};
