#include "net/gui/AppRecommandWndCtl.h"

#include "Shared/Logging.h"
#include "Shared/Workspace.h"
#include "net/gui/AppGotoCell.h"
#include "net/gui/AppRecommendModel.h"
#include "net/http/LocalAddress.h"
#include "net/http/ServiceHosts.h"
#include "net/http/WebDataResponse.h"
#include "net/http/WebError.h"
#include "net/http/WebRequest.h"
#include "net/json/JSONValue.h"

#include <QApplication>
#include <QBuffer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kProductListTag = QStringLiteral("product list");
constexpr double kLoadingPanelTop = 100.0;
constexpr qint64 kMaxThumbnailBytes = 2 * 1024 * 1024;

bool hasScheme(const QUrl &url, std::initializer_list<QLatin1String> schemes)
{
    const QString scheme = url.scheme().toLower();
    for (const QLatin1String allowed : schemes) {
        if (scheme == allowed)
            return true;
    }
    return false;
}

QByteArray bodyOf(WebRequest *request)
{
    const auto response = std::dynamic_pointer_cast<WebDataResponse>(request->response());
    return response ? response->data() : QByteArray();
}

} // namespace

AppRecommandWndCtl::AppRecommandWndCtl(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    buildLayout();
}

AppRecommandWndCtl::~AppRecommandWndCtl() = default;

void AppRecommandWndCtl::buildLayout()
{
    setWindowTitle(tr("More Products"));
    resize(640, 440);

    m_model = new AppRecommendModel(this);
    m_tableView = new QTableView(this);
    m_tableView->setObjectName(QStringLiteral("tableView"));
    m_tableView->setModel(m_model);
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tableView->setWordWrap(true);
    m_tableView->verticalHeader()->hide();
    m_tableView->verticalHeader()->setDefaultSectionSize(AppRecommendModel::kThumbnailSize + 12);
    m_tableView->setIconSize(
        QSize(AppRecommendModel::kThumbnailSize, AppRecommendModel::kThumbnailSize));
    QHeaderView *header = m_tableView->horizontalHeader();
    header->resizeSection(AppRecommendModel::columnOf(QStringLiteral("thumbnail")),
                          AppRecommendModel::kThumbnailSize + 16);
    header->resizeSection(AppRecommendModel::columnOf(QStringLiteral("version")), 80);
    header->setSectionResizeMode(AppRecommendModel::columnOf(QStringLiteral("desc")),
                                 QHeaderView::Stretch);
    header->resizeSection(AppRecommendModel::columnOf(QStringLiteral("button")), 150);

    // The store button is the data cell of the "button" column.
    m_gotoCell = new AppGotoCell(this);
    m_tableView->setItemDelegateForColumn(AppRecommendModel::columnOf(QStringLiteral("button")),
                                          m_gotoCell);
    connect(m_gotoCell, &AppGotoCell::clicked, this, [this](const QModelIndex &index) {
        m_tableView->selectRow(index.row());
        viewAppstoreDown();
    });

    // The panel shown over the table while the list loads.
    m_loadingView = new QWidget(m_tableView);
    m_loadingView->setObjectName(QStringLiteral("loadingView"));
    m_loadingView->setAutoFillBackground(true);
    auto *panelLayout = new QVBoxLayout(m_loadingView);
    m_pIndicator = new QProgressBar(m_loadingView);
    m_pIndicator->setObjectName(QStringLiteral("pIndicator"));
    m_pIndicator->setTextVisible(false);
    m_pIndicator->setRange(0, 0);
    m_loadingTip = new QLabel(m_loadingView);
    m_loadingTip->setObjectName(QStringLiteral("loadingTip"));
    m_loadingTip->setAlignment(Qt::AlignCenter);
    panelLayout->addWidget(m_pIndicator);
    panelLayout->addWidget(m_loadingTip);
    m_loadingView->resize(240, 70);
    m_loadingView->hide();

    auto *closeButton = new QPushButton(tr("Close"), this);
    connect(closeButton, &QPushButton::clicked, this, &AppRecommandWndCtl::closeDown);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tableView);
    layout->addLayout(buttons);
}

const QList<AppRecommendItem> &AppRecommandWndCtl::items() const
{
    return m_model->items();
}

void AppRecommandWndCtl::showWindow()
{
    if (!isVisible())
        fitOnScreen();
    show();
    raise();
    activateWindow();
    // The panel goes up before the request leaves: a request that fails at once must leave
    // its failure text showing, not "Loading...".
    showLoadingPanel();
    WebRequestPtr request = WebRequest::requestWithURL(ServiceHosts::productListUrl(), this);
    request->setResponse(std::make_shared<WebDataResponse>());
    request->setCachePolicy(WebCacheNoCache);
    request->setUserInfo(kProductListTag);
    request->send();
}

void AppRecommandWndCtl::fitOnScreen()
{
    // Centred on the screen of the window in front (or the primary one), and no larger than it.
    const QWidget *front = QApplication::activeWindow();
    QScreen *screen = front && front != this ? front->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    // Room for the window frame the desktop adds around it.
    const QSize frame(16, 48);
    resize(size().boundedTo(room.size() - frame));
    QRect wanted(QPoint(), size() + frame);
    wanted.moveCenter(room.center());
    move(wanted.topLeft());
}

void AppRecommandWndCtl::closeDown()
{
    close();
}

void AppRecommandWndCtl::showLoadingPanel()
{
    const int x = (m_tableView->width() - m_loadingView->width()) / 2;
    m_loadingView->move(x, int(kLoadingPanelTop));
    m_loadingView->show();
    m_loadingView->raise();
    m_pIndicator->setRange(0, 0);
    m_pIndicator->show();
    m_loadingTip->setText(tr("Loading..."));
}

void AppRecommandWndCtl::hideLoadingPanel()
{
    m_loadingView->hide();
    m_pIndicator->hide();
}

void AppRecommandWndCtl::showFailure(const WebError &error)
{
    qCWarning(lcNet).nospace() << "failed : " << error;
    m_pIndicator->hide();
    m_loadingTip->setText(tr("Failed to load products!"));
}

bool AppRecommandWndCtl::isProductListRequest(const WebRequest *request) const
{
    return request->userInfo().toString() == kProductListTag;
}

void AppRecommandWndCtl::requestDidFinishLoad(WebRequest *request)
{
    if (isProductListRequest(request))
        listDidLoad(bodyOf(request));
    else
        thumbnailDidLoad(request, bodyOf(request));
}

void AppRecommandWndCtl::requestDidFailLoadWithError(WebRequest *request, const WebError &error)
{
    // A thumbnail that cannot be fetched stays empty.
    if (isProductListRequest(request))
        showFailure(error);
}

void AppRecommandWndCtl::requestDidCancelLoad(WebRequest *request)
{
    // The request layer gave up (a body over its size limit): that is a failure to the user,
    // not a list that is still on its way.
    if (isProductListRequest(request))
        showFailure(WebError::urlLoading(WebError::Cancelled, QStringLiteral("cancelled")));
}

void AppRecommandWndCtl::listDidLoad(const QByteArray &data)
{
    hideLoadingPanel();
    ++m_listGeneration;
    const QVariant products = JSONValue(data);
    if (products.isValid() && products.typeId() != QMetaType::QVariantList)
        qCWarning(lcNet) << "the product list is not an array";

    QList<AppRecommendItem> items;
    const QVariantList entries = products.toList();
    for (const QVariant &entry : entries) {
        if (entry.typeId() == QMetaType::QVariantMap)
            items.append(AppRecommendItem::fromJson(entry.toMap()));
    }
    m_model->setItems(items);
    for (int row = 0; row < items.size(); ++row)
        loadThumbnail(row, items.at(row).imageUrl);
}

void AppRecommandWndCtl::loadThumbnail(int row, const QString &imageUrl)
{
    if (imageUrl.isEmpty())
        return;
    // The list comes over plain HTTP: a thumbnail must not read local files or anything else.
    const QUrl url(imageUrl, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        !hasScheme(url, {QLatin1String("http"), QLatin1String("https")})) {
        qCWarning(lcNet) << "not fetching thumbnail" << imageUrl;
        return;
    }
    // A public list must not point into the user's own machine or network.
    if (!LocalAddress::allows(QUrl(ServiceHosts::productListUrl()), url)) {
        qCWarning(lcNet) << "not fetching the thumbnail at a local address" << imageUrl;
        return;
    }
    WebRequestPtr request = WebRequest::requestWithURL(imageUrl, this);
    request->setResponse(std::make_shared<WebDataResponse>());
    request->setMaxContentLength(kMaxThumbnailBytes);
    request->setUserInfo(QVariantList{m_listGeneration, row});
    request->send();
}

void AppRecommandWndCtl::thumbnailDidLoad(WebRequest *request, const QByteArray &data)
{
    const QVariantList where = request->userInfo().toList();
    if (where.size() != 2 || where.at(0).toInt() != m_listGeneration)
        return;
    // Decoded at thumbnail size, so a large picture costs little time and memory here.
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    const int side = AppRecommendModel::kThumbnailSize;
    if (full.isValid() && (full.width() > side || full.height() > side))
        reader.setScaledSize(full.scaled(side, side, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (!image.isNull())
        m_model->setThumbnail(where.at(1).toInt(), image);
}

void AppRecommandWndCtl::viewAppstoreDown()
{
    const QModelIndexList selected = m_tableView->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int row = selected.constFirst().row();
    if (row < 0 || row >= items().size())
        return;
    const QUrl link(items().at(row).appstoreLink, QUrl::StrictMode);
    // The list comes over plain HTTP: only web addresses and software-centre pages are handed to
    // the desktop.
    if (!link.isValid() || !hasScheme(link, {QLatin1String("http"), QLatin1String("https"),
                                             QLatin1String("appstream")})) {
        qCWarning(lcNet) << "not opening store link" << items().at(row).appstoreLink;
        return;
    }
    Workspace::shared().openUrl(link);
}
