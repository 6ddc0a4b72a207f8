#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QSet>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

class QNetworkAccessManager;

// What came of one request. A request that was never sent reads like one that got no answer.
struct CameraResponse {
    bool failed = false;
    int httpStatus = 0;    // 0 when no HTTP answer came (refused, timed out, unreachable, not sent)
    QString errorText;
    QByteArray body;       // read only on success
};

// One request to a camera, waiting for its turn or on its way.
struct CameraRequest {
    enum class Kind {
        Read,       // a state GET
        Probe,      // a reachability GET: goes ahead of reads
        Setting,    // a PUT of values: a newer one for the same key replaces the waiting one
        Action,     // a preset recall, trigger or preset file: never reordered with other commands
    };
    Kind kind = Kind::Read;
    QByteArray method;    // "GET", "PUT", "POST" or "DELETE"
    QNetworkRequest request;
    QByteArray body;
    QString key;          // settings only: what a newer value replaces
    std::function<void(const CameraResponse&)> finished;
};

// Paces the requests to one camera. A camera's embedded web server works through its
// requests one at a time, so whatever is sent beyond that only queues inside the camera
// (or in the network stack, where the transfer time-out already runs) and can no longer
// be reordered or coalesced. Two in flight keep the next request on the wire while the
// camera answers the last; everything else waits here, and each request's time-out
// starts when it is really sent.
//
// Order of service: commands, then probes, then reads. Commands leave in the order they
// were first queued, except that a setting may pass one whose key still has a request
// outstanding. A setting waiting for its key takes the newest value in place, but never
// across an action queued after it: a value that arrives after a preset recall queues
// behind the recall, so the recall cannot undo it, and a value that arrived before it goes
// out and is answered before the recall is sent. An action is sent alone among commands:
// only when every earlier command has been answered, and the ones after it wait for its
// answer, since two requests in flight may be carried out by the camera in either order.
//
// When a request ends without any HTTP answer, the camera has stopped answering: the reads
// still waiting are failed at once rather than each spending a full time-out in turn.
// Commands and probes still go out.
class CameraRequestQueue : public QObject {
    Q_OBJECT
public:
    static constexpr int maxInFlight = 2;

    CameraRequestQueue(QNetworkAccessManager* network, QObject* parent = nullptr);

    void submit(CameraRequest request);

private:
    std::optional<CameraRequest> takeNext();
    void dispatch();
    void send(CameraRequest request);

    QNetworkAccessManager* m_network;
    std::deque<CameraRequest> m_commands;
    std::deque<CameraRequest> m_probes;
    std::deque<CameraRequest> m_reads;
    int m_inFlight = 0;
    int m_commandsInFlight = 0;
    bool m_actionInFlight = false;
    QSet<QString> m_settingsInFlight;
};
