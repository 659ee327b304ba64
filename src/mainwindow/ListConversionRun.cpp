#include "mainwindow/ListConversionRun.h"

#include "engine/ConvertOperation.h"
#include "engine/OperationQueue.h"

#include <QTimer>

ListConversionRun::ListConversionRun(int width, QObject *parent)
    : QObject(parent)
    , m_queue(std::make_unique<OperationQueue>(width))
{}

ListConversionRun::~ListConversionRun()
{
    if (m_timer)
        m_timer->stop();
    m_queue->cancelAllOperations();
    m_queue.reset();
}

void ListConversionRun::start(const QList<LSMediaPtr> &items)
{
    m_isConverting = true;
    for (const LSMediaPtr &media : items)
        m_queue->addOperation(std::make_shared<ConvertOperation>(media));

    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater();
    }
    m_timer = new QTimer(this);
    m_timer->setInterval(kTickIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &ListConversionRun::refreshTableProgress);
    m_timer->start();
}

void ListConversionRun::refreshTableProgress()
{
    emit ticked();
    if (!m_timer || m_queue->operationCount() > 0)
        return;
    m_timer->stop();
    m_timer->deleteLater();
    m_timer = nullptr;
    m_isConverting = false;
    emit runEnded();
}
