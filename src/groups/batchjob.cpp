#include "batchjob.h"

#include "adblane.h"

#include <QPointer>

#include <memory>
#include <utility>

BatchJob::BatchJob(const QString &title, const QList<Target> &targets, Launch launch,
                   QObject *parent)
    : QAbstractListModel(parent), m_title(title), m_launch(std::move(launch))
{
    m_rows.reserve(targets.size());
    for (const Target &target : targets)
        m_rows.append(Row{target, Queued, {}});
}

BatchJob::Launch BatchJob::onAdbLane(LaneWork work)
{
    return [work = std::move(work)](int row, const QString &serial, const Finish &finish) {
        Q_UNUSED(row)
        // The finish call holds the job only weakly; a job dismissed meanwhile hears nothing.
        auto *context = new QObject;
        AdbLane::run<Outcome>(
            serial, context, [work, serial] { return work(serial); },
            [context, finish](const Outcome &outcome) {
                context->deleteLater();
                finish(outcome);
            });
    };
}

double BatchJob::progress() const
{
    if (m_rows.isEmpty())
        return 1.0;
    return double(doneCount() + failedCount() + cancelledCount()) / double(m_rows.size());
}

bool BatchJob::isFinished() const
{
    return m_started && doneCount() + failedCount() + cancelledCount() == m_rows.size();
}

int BatchJob::count(State state) const
{
    int n = 0;
    for (const Row &row : m_rows)
        n += row.state == state ? 1 : 0;
    return n;
}

void BatchJob::setParallelLimit(int limit)
{
    m_parallelLimit = qMax(1, limit);
    if (m_started)
        launchMore();
}

void BatchJob::start()
{
    if (std::exchange(m_started, true))
        return;
    launchMore();
    checkFinished();
}

void BatchJob::cancel()
{
    for (int row = m_next; row < m_rows.size(); ++row) {
        if (m_rows.at(row).state == Queued)
            setRowState(row, Cancelled);
    }
    m_next = int(m_rows.size());
    emit countsChanged();
    checkFinished();
}

void BatchJob::launchMore()
{
    while (m_next < m_rows.size() && runningCount() < m_parallelLimit) {
        const int row = m_next++;
        setRowState(row, Running);
        emit countsChanged();
        const QPointer<BatchJob> self(this);
        // Shared so that a launch calling finish twice is harmless.
        auto called = std::make_shared<bool>(false);
        m_launch(row, m_rows.at(row).target.serial, [self, row, called](const Outcome &outcome) {
            if (std::exchange(*called, true) || !self)
                return;
            self->finishRow(row, outcome);
        });
    }
}

void BatchJob::finishRow(int row, const Outcome &outcome)
{
    if (m_rows.at(row).state != Running)
        return;
    m_rows[row].outcome = outcome;
    setRowState(row, outcome.ok ? Done : Failed);
    emit countsChanged();
    launchMore();
    checkFinished();
}

void BatchJob::setRowState(int row, State state)
{
    m_rows[row].state = state;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {StateRole, ReasonRole});
}

void BatchJob::checkFinished()
{
    if (m_finishAnnounced || !isFinished())
        return;
    m_finishAnnounced = true;
    emit jobFinished();
}

int BatchJob::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant BatchJob::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case SerialRole:
        return row.target.serial;
    case LabelRole:
        return row.target.label;
    case StateRole:
        return int(row.state);
    case ReasonRole:
        return row.outcome.reason;
    default:
        return {};
    }
}

QHash<int, QByteArray> BatchJob::roleNames() const
{
    return {
        {SerialRole, "serial"}, {LabelRole, "label"}, {StateRole, "state"}, {ReasonRole, "reason"}};
}

// ---- the group's list of jobs ------------------------------------------------------------

void BatchJobList::add(BatchJob *job)
{
    if (!job)
        return;
    job->setParent(this);
    const int row = int(m_jobs.size());
    beginInsertRows({}, row, row);
    m_jobs.append(job);
    endInsertRows();
    emit countChanged();
    emit jobAdded(job);
    job->start();
}

void BatchJobList::dismiss(BatchJob *job)
{
    const int row = int(m_jobs.indexOf(job));
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    m_jobs.removeAt(row);
    endRemoveRows();
    emit countChanged();
    // Phones still working finish on their lanes; their results go nowhere.
    job->cancel();
    job->deleteLater();
}

int BatchJobList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_jobs.size());
}

QVariant BatchJobList::data(const QModelIndex &index, int role) const
{
    if (role != JobRole || !index.isValid() || index.row() < 0 || index.row() >= m_jobs.size())
        return {};
    return QVariant::fromValue(m_jobs.at(index.row()));
}

QHash<int, QByteArray> BatchJobList::roleNames() const
{
    return {{JobRole, "job"}};
}

#include "moc_batchjob.cpp"
