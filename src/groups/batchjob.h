#pragma once
// One piece of work done on many phones, watched phone by phone: each row is a phone that is
// queued, running, done, failed (with the reason) or cancelled. At most parallelLimit phones
// work at once; the rest wait their turn.
#include <QAbstractListModel>
#include <QList>
#include <QString>

#include <functional>

class BatchJob : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(int total READ total CONSTANT)
    Q_PROPERTY(int doneCount READ doneCount NOTIFY countsChanged)
    Q_PROPERTY(int failedCount READ failedCount NOTIFY countsChanged)
    Q_PROPERTY(int cancelledCount READ cancelledCount NOTIFY countsChanged)
    Q_PROPERTY(int runningCount READ runningCount NOTIFY countsChanged)
    // Phones that have ended one way or another, over the total.
    Q_PROPERTY(double progress READ progress NOTIFY countsChanged)
    Q_PROPERTY(bool finished READ isFinished NOTIFY countsChanged)

public:
    enum State { Queued, Running, Done, Failed, Cancelled };
    Q_ENUM(State)
    enum Role { SerialRole = Qt::UserRole + 1, LabelRole, StateRole, ReasonRole };

    static constexpr int kDefaultParallelLimit = 8;

    struct Target
    {
        QString serial;
        QString label; // what the list shows: nickname and serial
    };
    struct Outcome
    {
        bool ok = false;
        QString reason; // why it failed, for the user
        QString output; // what the phone answered, for jobs that collect it
    };
    using Finish = std::function<void(const Outcome &)>;
    // Starts one phone's work on this object's thread; `finish` is called once, at once or
    // later. Calls after the job is gone are ignored.
    using Launch = std::function<void(int row, const QString &serial, const Finish &finish)>;
    using LaneWork = std::function<Outcome(const QString &serial)>;

    BatchJob(const QString &title, const QList<Target> &targets, Launch launch,
             QObject *parent = nullptr);

    // A launch that runs `work` on the phone's adb lane, off this thread.
    static Launch onAdbLane(LaneWork work);

    QString title() const { return m_title; }
    int total() const { return int(m_rows.size()); }
    int doneCount() const { return count(Done); }
    int failedCount() const { return count(Failed); }
    int cancelledCount() const { return count(Cancelled); }
    int runningCount() const { return count(Running); }
    double progress() const;
    bool isFinished() const;
    State state(int row) const { return m_rows.at(row).state; }
    Outcome outcome(int row) const { return m_rows.at(row).outcome; }
    Target target(int row) const { return m_rows.at(row).target; }

    int parallelLimit() const { return m_parallelLimit; }
    // Takes effect for phones not started yet; less than 1 counts as 1.
    void setParallelLimit(int limit);

    // Starts the first phones; the others follow as phones finish.
    void start();
    // Phones not started yet end as cancelled; running ones finish their work.
    Q_INVOKABLE void cancel();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countsChanged();
    // Once, when the last phone has ended.
    void jobFinished();

private:
    struct Row
    {
        Target target;
        State state = Queued;
        Outcome outcome;
    };
    int count(State state) const;
    void launchMore();
    void finishRow(int row, const Outcome &outcome);
    void setRowState(int row, State state);
    void checkFinished();

    QString m_title;
    QList<Row> m_rows;
    Launch m_launch;
    int m_parallelLimit = kDefaultParallelLimit;
    int m_next = 0; // first row not yet launched
    bool m_started = false;
    bool m_finishAnnounced = false;
};

// The jobs of one group, newest last, kept until the user dismisses them.
class BatchJobList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    static constexpr int JobRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;

    // Takes ownership and starts the job.
    void add(BatchJob *job);
    Q_INVOKABLE void dismiss(BatchJob *job);
    BatchJob *at(int row) const { return m_jobs.at(row); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();
    void jobAdded(BatchJob *job);

private:
    QList<BatchJob *> m_jobs;
};
