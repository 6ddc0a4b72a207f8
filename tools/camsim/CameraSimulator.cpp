#include "CameraSimulator.h"

#include "CamsimLog.h"
#include "CountingTcpServer.h"
#include "EventMessages.h"
#include "ModelProfile.h"
#include "SimulatedState.h"
#include "SimulatorHttpServer.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <QWebSocket>

#include <optional>
#include <vector>

Q_LOGGING_CATEGORY(lcCamsim, "kovra.camsim")

namespace {

using Status = QHttpServerResponder::StatusCode;

const QString apiRoot = QStringLiteral("/control/api/v1/");
const QString eventPath = QStringLiteral("/control/api/v1/event/websocket");
const QString defaultPreset = QStringLiteral("default");

// What the camera answers to one request, built before any delay is applied.
struct Answer {
    Status status = Status::Ok;
    QByteArray body;
    QByteArray contentType = "application/json";
};

Answer json(const QJsonValue& value, Status status = Status::Ok)
{
    Answer answer;
    answer.status = status;
    answer.body = value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                  : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    return answer;
}

Answer status(Status code)
{
    Answer answer;
    answer.status = code;
    answer.contentType.clear();
    return answer;
}

Answer failure(Status code, const QString& message)
{
    return json(QJsonObject{{QStringLiteral("error"), message}}, code);
}

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get: return "GET";
    case QHttpServerRequest::Method::Put: return "PUT";
    case QHttpServerRequest::Method::Post: return "POST";
    case QHttpServerRequest::Method::Delete: return "DELETE";
    case QHttpServerRequest::Method::Head: return "HEAD";
    case QHttpServerRequest::Method::Options: return "OPTIONS";
    case QHttpServerRequest::Method::Patch: return "PATCH";
    case QHttpServerRequest::Method::Trace: return "TRACE";
    case QHttpServerRequest::Method::Connect: return "CONNECT";
    default: return "UNKNOWN";
    }
}

bool parseObject(const QByteArray& body, QJsonObject* object)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    *object = document.object();
    return true;
}

// A truncated reply, as a camera whose firmware breaks off mid-answer sends it.
QByteArray malformed(const QByteArray& body)
{
    return body.left(qMax<qsizetype>(1, body.size() / 2)) + ",\"";
}

} // namespace

struct CameraSimulator::Private {
    CameraSimulator* q = nullptr;
    QString product;
    QString softwareVersion = QStringLiteral("8.6");
    QString cameraId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    ModelProfile profile;
    EndpointValues values;

    QStringList presetOrder;
    QHash<QString, EndpointValues> presets;
    QString activePreset = defaultPreset;

    bool recording = false;
    qint64 timecodeAtStart = 0;         // frames, when recording began or the clock was set
    QElapsedTimer recordClock;

    QHash<QString, Refusal> refusals;
    QSet<QString> malformedEndpoints;
    int responseDelay = 0;
    QHash<QString, int> endpointDelays;
    bool blackHole = false;
    bool notACamera = false;
    std::optional<QByteArray> serverHeader;    // unset: the device's own, with its version

    QList<SimulatedRequest> requests;

    std::unique_ptr<SimulatorHttpServer> http;
    QPointer<CountingTcpServer> tcp;
    QHostAddress address;
    quint16 port = 0;
    int maxOpenBeforeClose = 0;
    // Requests swallowed by the black hole: kept so that their connections stay open.
    std::vector<std::unique_ptr<QHttpServerResponder>> swallowed;
    int delayedAnswers = 0;

    QHash<QWebSocket*, QSet<QString>> eventClients;
    QList<QJsonObject> subscribeRequests;

    void reset(const QString& productName);
    bool acceptsEventClient(const QHttpServerRequest& request) const;
    void handle(const QHttpServerRequest& request, QHttpServerResponder&& responder);
    void send(const Answer& answer, QHttpServerResponder&& responder) const;
    Answer answer(const QByteArray& method, const QString& endpoint, const QByteArray& body);
    Answer get(const QString& endpoint) const;
    Answer put(const QString& endpoint, const QByteArray& body);
    Answer putTransport(const QString& endpoint, const QJsonObject& body);
    Answer putFormat(const QString& endpoint, const QJsonObject& body);
    Answer savePreset(const QString& name);
    Answer recallPreset(const QJsonObject& body);
    Answer deletePreset(const QString& name);

    QJsonValue value(const QString& endpoint) const;
    void store(const QString& endpoint, const QJsonValue& value);
    int framesPerSecond() const;
    qint64 timecodeNow() const;
    void setRecording(bool on);
    QJsonObject transportState() const;

    void acceptEventClients();
    void onClientMessage(QWebSocket* client, const QString& text);
    void broadcast(const QJsonObject& message);
    void pushChange(const QString& endpoint);
};

void CameraSimulator::Private::reset(const QString& productName)
{
    product = productName;
    profile = ModelProfile::forProduct(productName);
    values = defaultEndpointValues(profile);
    presetOrder = {QStringLiteral("Wide.cset"), QStringLiteral("Interview.cset")};
    presets.clear();
    EndpointValues snapshot;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (isPresetCovered(it.key()))
            snapshot.insert(it.key(), it.value());
    }
    for (const QString& name : std::as_const(presetOrder))
        presets.insert(name, snapshot);
    presets[QStringLiteral("Interview.cset")][QStringLiteral("lens/iris")] =
        QJsonObject{{QStringLiteral("apertureStop"), 2.8}, {QStringLiteral("normalised"), 0.2},
                    {QStringLiteral("apertureNumber"), 280}};
}

CameraSimulator::CameraSimulator(const QString& productName, QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    qRegisterMetaType<SimulatedRequest>();
    d->q = this;
    d->reset(productName);
}

CameraSimulator::~CameraSimulator()
{
    close();
}

bool CameraSimulator::listen(const QHostAddress& address, quint16 port)
{
    close();
    auto http = std::make_unique<SimulatorHttpServer>(
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
            d->handle(request, std::move(responder));
        },
        [this](const QHttpServerRequest& request) { return d->acceptsEventClient(request); });
    connect(http.get(), &QAbstractHttpServer::newWebSocketConnection, this, [this] { d->acceptEventClients(); });
    auto* tcp = new CountingTcpServer(http.get());
    if (!tcp->listen(address, port)) {
        qCWarning(lcCamsim) << "Cannot listen on" << address.toString() << port << tcp->errorString();
        return false;
    }
    http->bind(tcp);
    d->http = std::move(http);
    d->tcp = tcp;
    d->address = tcp->serverAddress();
    d->port = tcp->serverPort();
    d->maxOpenBeforeClose = 0;
    return true;
}

void CameraSimulator::close()
{
    dropEventClients();
    d->swallowed.clear();
    if (d->tcp) {
        d->maxOpenBeforeClose = d->tcp->maxOpenConnections();
        d->tcp->close();
        d->tcp->abortConnections();
    }
    d->http.reset();
    d->port = 0;
}

QHostAddress CameraSimulator::address() const { return d->address; }
quint16 CameraSimulator::port() const { return d->port; }

QString CameraSimulator::hostAndPort() const
{
    return QStringLiteral("%1:%2").arg(d->address.toString()).arg(d->port);
}

QString CameraSimulator::productName() const { return d->product; }

void CameraSimulator::setProduct(const QString& productName, const QString& softwareVersion)
{
    d->product = productName;
    d->softwareVersion = softwareVersion;
}

QJsonValue CameraSimulator::endpointValue(const QString& endpoint) const
{
    return d->value(endpoint);
}

void CameraSimulator::setEndpointValue(const QString& endpoint, const QJsonValue& value)
{
    d->store(endpoint, value);
    d->pushChange(endpoint);
}

QList<SimulatedRequest> CameraSimulator::requests() const { return d->requests; }

int CameraSimulator::requestCount(const QByteArray& method, const QString& endpoint) const
{
    return int(std::count_if(d->requests.cbegin(), d->requests.cend(), [&](const SimulatedRequest& r) {
        return r.method == method && r.endpoint == endpoint;
    }));
}

int CameraSimulator::requestCount(const QByteArray& method) const
{
    return int(std::count_if(d->requests.cbegin(), d->requests.cend(),
                             [&](const SimulatedRequest& r) { return r.method == method; }));
}

QList<QByteArray> CameraSimulator::requestBodies(const QByteArray& method, const QString& endpoint) const
{
    QList<QByteArray> bodies;
    for (const SimulatedRequest& request : d->requests) {
        if (request.method == method && request.endpoint == endpoint)
            bodies << request.body;
    }
    return bodies;
}

void CameraSimulator::clearRequests() { d->requests.clear(); }

int CameraSimulator::openConnections() const
{
    return d->tcp ? d->tcp->openConnections() : 0;
}

int CameraSimulator::maxOpenConnections() const
{
    return d->tcp ? d->tcp->maxOpenConnections() : d->maxOpenBeforeClose;
}

int CameraSimulator::unansweredRequests() const
{
    return d->delayedAnswers + int(d->swallowed.size());
}

void CameraSimulator::resetMaxOpenConnections()
{
    if (d->tcp)
        d->tcp->resetMaxOpenConnections();
    d->maxOpenBeforeClose = 0;
}

void CameraSimulator::refuseEndpoint(const QString& endpoint, Refusal how) { d->refusals.insert(endpoint, how); }
void CameraSimulator::acceptEndpoint(const QString& endpoint) { d->refusals.remove(endpoint); }
void CameraSimulator::setResponseDelay(int milliseconds) { d->responseDelay = qMax(0, milliseconds); }

void CameraSimulator::setEndpointDelay(const QString& endpoint, int milliseconds)
{
    d->endpointDelays.insert(endpoint, qMax(0, milliseconds));
}

void CameraSimulator::setBlackHole(bool on) { d->blackHole = on; }

void CameraSimulator::setMalformedJson(const QString& endpoint, bool on)
{
    if (on)
        d->malformedEndpoints.insert(endpoint);
    else
        d->malformedEndpoints.remove(endpoint);
}

void CameraSimulator::setNotACamera(bool on) { d->notACamera = on; }
void CameraSimulator::setServerHeader(const QByteArray& value) { d->serverHeader = value; }

QByteArray CameraSimulator::serverHeader() const
{
    return d->serverHeader.value_or("BlackmagicDesign/" + d->softwareVersion.toUtf8());
}

int CameraSimulator::eventClientCount() const { return int(d->eventClients.size()); }
QList<QJsonObject> CameraSimulator::subscribeRequests() const { return d->subscribeRequests; }

void CameraSimulator::dropEventClients()
{
    // Aborting emits disconnected, whose handler edits the table.
    const QList<QWebSocket*> clients = d->eventClients.keys();
    for (QWebSocket* client : clients)
        client->abort();
}

void CameraSimulator::pushRawEvent(const QByteArray& text)
{
    for (auto it = d->eventClients.cbegin(); it != d->eventClients.cend(); ++it)
        it.key()->sendTextMessage(QString::fromUtf8(text));
}

QStringList CameraSimulator::presetNames() const { return d->presetOrder; }
QString CameraSimulator::activePreset() const { return d->activePreset; }
bool CameraSimulator::isRecording() const { return d->recording; }

// ---- HTTP ----

bool CameraSimulator::Private::acceptsEventClient(const QHttpServerRequest& request) const
{
    // Anything else is answered like a plain request: 404 on a wrong path or on a product
    // that is not a camera, the configured status where the channel is refused.
    return request.url().path(QUrl::FullyDecoded) == eventPath && profile.isCamera
        && !refusals.contains(eventPath.mid(apiRoot.size()));
}

void CameraSimulator::Private::handle(const QHttpServerRequest& request, QHttpServerResponder&& responder)
{
    SimulatedRequest record;
    record.method = methodName(request.method());
    const QString path = request.url().path(QUrl::FullyDecoded);
    record.endpoint = path.startsWith(apiRoot) ? path.mid(apiRoot.size()) : path;
    record.body = request.body();
    const auto headers = request.headers();
    for (const auto& header : headers)
        record.headers.insert(header.first.toLower(), header.second);
    record.received = QDateTime::currentDateTimeUtc();
    requests.append(record);
    // A held request counts as unanswered from its arrival, so receivers of
    // requestReceived already see it.
    const bool swallow = blackHole;
    const int delay = endpointDelays.value(record.endpoint, responseDelay);
    if (swallow)
        swallowed.push_back(std::make_unique<QHttpServerResponder>(std::move(responder)));
    else if (delay > 0)
        ++delayedAnswers;
    emit q->requestReceived(record);
    if (swallow)
        return;

    const Answer reply = path.startsWith(apiRoot) ? answer(record.method, record.endpoint, record.body)
                                                  : failure(Status::NotFound, QStringLiteral("Not found"));
    if (delay <= 0) {
        send(reply, std::move(responder));
        return;
    }
    auto held = std::make_shared<QHttpServerResponder>(std::move(responder));
    QPointer<QTcpSocket> socket = held->socket();
    QTimer::singleShot(delay, q, [this, held, socket, reply] {
        --delayedAnswers;
        // The client may have given up and closed the connection meanwhile.
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            send(reply, std::move(*held));
    });
}

void CameraSimulator::Private::send(const Answer& answer, QHttpServerResponder&& responder) const
{
    QHttpServerResponse response(answer.contentType, answer.body, answer.status);
    const QByteArray server = q->serverHeader();
    if (!server.isEmpty())
        response.setHeader(QByteArrayLiteral("Server"), server);
    response.write(std::move(responder));
}

Answer CameraSimulator::Private::answer(const QByteArray& method, const QString& endpoint,
                                                                  const QByteArray& body)
{
    if (refusals.contains(endpoint)) {
        switch (refusals.value(endpoint)) {
        case Refusal::NotFound: return failure(Status::NotFound, QStringLiteral("Not found"));
        case Refusal::MethodNotAllowed: return failure(Status::MethodNotAllowed, QStringLiteral("Method not allowed"));
        case Refusal::NotImplemented: return failure(Status::NotImplemented, QStringLiteral("Not implemented"));
        case Refusal::JsonError: return json(QJsonObject{{QStringLiteral("error"), QStringLiteral("Not supported on this model")}});
        }
    }
    if (endpoint == QLatin1String("camera/id") && notACamera)
        return failure(Status::NotFound, QStringLiteral("Not found"));
    if (!profile.isCamera && endpoint != QLatin1String("system/product"))
        return failure(Status::NotFound, QStringLiteral("Not found"));

    if (method == "GET") {
        Answer reply = get(endpoint);
        if (reply.status == Status::Ok && malformedEndpoints.contains(endpoint))
            reply.body = malformed(reply.body);
        return reply;
    }
    const bool presetFile = endpoint.startsWith(QLatin1String("presets/")) && endpoint != QLatin1String("presets/active");
    if (method == "PUT" || (method == "POST" && presetFile)) {
        if (presetFile)
            return savePreset(endpoint.mid(8));
        return put(endpoint, body);
    }
    if (method == "DELETE" && presetFile)
        return deletePreset(endpoint.mid(8));
    return failure(Status::MethodNotAllowed, QStringLiteral("Method not allowed"));
}

Answer CameraSimulator::Private::get(const QString& endpoint) const
{
    if (endpoint.startsWith(QLatin1String("presets/")) && endpoint != QLatin1String("presets/active")) {
        const QString name = endpoint.mid(8);
        if (!presets.contains(name))
            return failure(Status::NotFound, QStringLiteral("No such preset"));
        QJsonObject file;
        const EndpointValues& snapshot = presets[name];
        for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it)
            file.insert(it.key(), it.value());
        Answer answer = json(file);
        answer.contentType = "application/octet-stream";
        return answer;
    }
    const QJsonValue current = value(endpoint);
    if (current.isUndefined())
        return failure(Status::NotFound, QStringLiteral("Not found"));
    return json(current);
}

QJsonValue CameraSimulator::Private::value(const QString& endpoint) const
{
    if (endpoint == QLatin1String("system/product")) {
        return QJsonObject{{QStringLiteral("deviceName"), product}, {QStringLiteral("productName"), product},
                           {QStringLiteral("softwareVersion"), softwareVersion}};
    }
    if (endpoint == QLatin1String("camera/id"))
        return QJsonObject{{QStringLiteral("id"), cameraId}};
    if (endpoint == QLatin1String("presets"))
        return QJsonObject{{QStringLiteral("presets"), QJsonArray::fromStringList(presetOrder)}};
    if (endpoint == QLatin1String("presets/active"))
        return QJsonObject{{QStringLiteral("preset"), activePreset}};
    if (endpoint == QLatin1String("transports/0"))
        return transportState();
    if (endpoint == QLatin1String("transports/0/record"))
        return QJsonObject{{QStringLiteral("recording"), recording}};
    if (endpoint == QLatin1String("transports/0/timecode"))
        return QJsonObject{{QStringLiteral("timecode"), timecodeText(timecodeNow(), framesPerSecond())}};
    return values.value(endpoint, QJsonValue(QJsonValue::Undefined));
}

void CameraSimulator::Private::store(const QString& endpoint, const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    if (endpoint == QLatin1String("presets")) {
        presetOrder.clear();
        const QJsonArray names = object.value(QLatin1String("presets")).toArray();
        for (const QJsonValue& name : names) {
            if (!name.toString().isEmpty() && !presetOrder.contains(name.toString()))
                presetOrder.append(name.toString());
        }
        for (const QString& name : std::as_const(presetOrder)) {
            if (!presets.contains(name))
                presets.insert(name, {});
        }
        const QStringList stored = presets.keys();
        for (const QString& name : stored) {
            if (!presetOrder.contains(name))
                presets.remove(name);
        }
    } else if (endpoint == QLatin1String("presets/active")) {
        activePreset = object.value(QLatin1String("preset")).toString();
    } else if (endpoint == QLatin1String("transports/0")) {
        if (object.contains(QLatin1String("timecode"))) {
            const qint64 frames = timecodeFrames(object.value(QLatin1String("timecode")).toString(), framesPerSecond());
            if (frames >= 0) {
                timecodeAtStart = frames;
                recordClock.restart();
            }
        }
        if (object.contains(QLatin1String("recording")))
            setRecording(object.value(QLatin1String("recording")).toBool());
    } else {
        values.insert(endpoint, value);
    }
}

int CameraSimulator::Private::framesPerSecond() const
{
    return timecodeBase(values.value(QStringLiteral("system/format")).toObject().value(QLatin1String("frameRate")).toString());
}

qint64 CameraSimulator::Private::timecodeNow() const
{
    if (!recording || !recordClock.isValid())
        return timecodeAtStart;
    return timecodeAtStart + recordClock.elapsed() * framesPerSecond() / 1000;
}

void CameraSimulator::Private::setRecording(bool on)
{
    if (on == recording)
        return;
    // The timecode runs only while recording ("record run"): freeze it on stop.
    timecodeAtStart = timecodeNow();
    recording = on;
    recordClock.restart();
}

QJsonObject CameraSimulator::Private::transportState() const
{
    return QJsonObject{{QStringLiteral("recording"), recording},
                       {QStringLiteral("timecode"), timecodeText(timecodeNow(), framesPerSecond())}};
}

Answer CameraSimulator::Private::put(const QString& endpoint, const QByteArray& body)
{
    QJsonObject object;
    const bool emptyBody = body.trimmed().isEmpty();
    if (!emptyBody && !parseObject(body, &object))
        return failure(Status::BadRequest, QStringLiteral("Body is not a JSON object"));

    if (endpoint == QLatin1String("presets/active"))
        return recallPreset(object);
    if (endpoint.startsWith(QLatin1String("transports/0")))
        return putTransport(endpoint, object);
    if (endpoint == QLatin1String("lens/focus/doAutoFocus")) {
        values[QStringLiteral("lens/focus")] = QJsonObject{{QStringLiteral("focus"), 0.62}};
        pushChange(QStringLiteral("lens/focus"));
        return status(Status::NoContent);
    }
    const QJsonValue current = values.value(endpoint, QJsonValue(QJsonValue::Undefined));
    if (!current.isObject())
        return current.isUndefined() ? failure(Status::NotFound, QStringLiteral("Not found"))
                                     : failure(Status::MethodNotAllowed, QStringLiteral("Method not allowed"));
    if (isReadOnlyEndpoint(endpoint))
        return failure(Status::MethodNotAllowed, QStringLiteral("Method not allowed"));
    if (emptyBody)
        return failure(Status::BadRequest, QStringLiteral("Body is not a JSON object"));
    if (endpoint.startsWith(QLatin1String("system/")))
        return putFormat(endpoint, object);
    values[endpoint] = mergedObject(current.toObject(), object);
    pushChange(endpoint);
    return status(Status::NoContent);
}

Answer CameraSimulator::Private::putTransport(const QString& endpoint, const QJsonObject& body)
{
    if (endpoint == QLatin1String("transports/0/stop")) {
        setRecording(false);
        return status(Status::NoContent);
    }
    if (endpoint == QLatin1String("transports/0/record")) {
        const QJsonValue on = body.value(QLatin1String("recording"));
        if (!on.isUndefined() && !on.isBool())
            return failure(Status::BadRequest, QStringLiteral("\"recording\" must be a boolean"));
        setRecording(on.toBool(true));
        return status(Status::NoContent);
    }
    if (endpoint == QLatin1String("transports/0") || endpoint == QLatin1String("transports/0/timecode")) {
        const QJsonValue on = body.value(QLatin1String("recording"));
        if (!on.isUndefined() && !on.isBool())
            return failure(Status::BadRequest, QStringLiteral("\"recording\" must be a boolean"));
        if (body.contains(QLatin1String("timecode"))
            && timecodeFrames(body.value(QLatin1String("timecode")).toString(), framesPerSecond()) < 0)
            return failure(Status::BadRequest, QStringLiteral("Invalid timecode"));
        store(QStringLiteral("transports/0"), body);
        return status(Status::NoContent);
    }
    return failure(Status::NotFound, QStringLiteral("Not found"));
}

Answer CameraSimulator::Private::putFormat(const QString& endpoint, const QJsonObject& body)
{
    for (const char* key : {"recordResolution", "sensorResolution"}) {
        if (!body.contains(QLatin1String(key)))
            continue;
        const QJsonObject size = body.value(QLatin1String(key)).toObject();
        if (size.value(QLatin1String("width")).toInt() < 1 || size.value(QLatin1String("height")).toInt() < 1)
            return failure(Status::BadRequest, QStringLiteral("Invalid %1").arg(QLatin1String(key)));
    }
    if (!profile.offSpeed && body.value(QLatin1String("offSpeedEnabled")).toBool())
        return failure(Status::BadRequest, QStringLiteral("Off-speed recording is not available"));

    values[endpoint] = mergedObject(values.value(endpoint).toObject(), body);

    // The three format endpoints describe one format: keep them in step.
    QJsonObject format = values.value(QStringLiteral("system/format")).toObject();
    QJsonObject video = values.value(QStringLiteral("system/videoFormat")).toObject();
    QJsonObject codec = values.value(QStringLiteral("system/codecFormat")).toObject();
    if (endpoint == QLatin1String("system/format")) {
        const QJsonObject size = format.value(QLatin1String("recordResolution")).toObject();
        video[QStringLiteral("width")] = size.value(QLatin1String("width"));
        video[QStringLiteral("height")] = size.value(QLatin1String("height"));
        video[QStringLiteral("frameRate")] = format.value(QLatin1String("frameRate"));
        codec[QStringLiteral("codec")] = format.value(QLatin1String("codec"));
    } else if (endpoint == QLatin1String("system/videoFormat")) {
        format[QStringLiteral("frameRate")] = video.value(QLatin1String("frameRate"));
        format[QStringLiteral("recordResolution")] =
            QJsonObject{{QStringLiteral("width"), video.value(QLatin1String("width"))},
                        {QStringLiteral("height"), video.value(QLatin1String("height"))}};
    } else if (endpoint == QLatin1String("system/codecFormat")) {
        format[QStringLiteral("codec")] = codec.value(QLatin1String("codec"));
    }
    const QString scan = video.value(QLatin1String("interlaced")).toBool() ? QStringLiteral("i") : QStringLiteral("p");
    video[QStringLiteral("name")] = QString::number(video.value(QLatin1String("height")).toInt()) + scan
                                    + video.value(QLatin1String("frameRate")).toString();
    values[QStringLiteral("system/format")] = format;
    values[QStringLiteral("system/videoFormat")] = video;
    values[QStringLiteral("system/codecFormat")] = codec;
    return status(Status::NoContent);
}

Answer CameraSimulator::Private::savePreset(const QString& name)
{
    if (name.trimmed().isEmpty() || name.contains(QLatin1Char('/')))
        return failure(Status::BadRequest, QStringLiteral("Invalid preset name"));
    EndpointValues snapshot;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (isPresetCovered(it.key()))
            snapshot.insert(it.key(), it.value());
    }
    if (!presetOrder.contains(name))
        presetOrder.append(name);
    presets.insert(name, snapshot);
    return status(Status::NoContent);
}

Answer CameraSimulator::Private::recallPreset(const QJsonObject& body)
{
    const QString name = body.value(QLatin1String("preset")).toString();
    if (!presets.contains(name))
        return failure(Status::NotFound, QStringLiteral("No such preset"));
    const EndpointValues snapshot = presets.value(name);
    activePreset = name;
    for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) {
        if (values.value(it.key()) == it.value())
            continue;
        values.insert(it.key(), it.value());
        pushChange(it.key());
    }
    return status(Status::NoContent);
}

Answer CameraSimulator::Private::deletePreset(const QString& name)
{
    if (!presets.remove(name))
        return failure(Status::NotFound, QStringLiteral("No such preset"));
    presetOrder.removeAll(name);
    if (activePreset == name)
        activePreset = defaultPreset;
    return status(Status::NoContent);
}

// ---- Event channel ----

void CameraSimulator::Private::acceptEventClients()
{
    while (http && http->hasPendingWebSocketConnections()) {
        QWebSocket* client = http->nextPendingWebSocketConnection().release();
        client->setParent(q);
        eventClients.insert(client, {});
        QObject::connect(client, &QWebSocket::textMessageReceived, q,
                         [this, client](const QString& text) { onClientMessage(client, text); });
        QObject::connect(client, &QWebSocket::disconnected, q, [this, client] {
            if (eventClients.remove(client)) {
                client->deleteLater();
                emit q->eventClientDisconnected();
            }
        });
        client->sendTextMessage(QString::fromUtf8(QJsonDocument(websocketOpenedMessage()).toJson(QJsonDocument::Compact)));
        emit q->eventClientConnected();
    }
}

void CameraSimulator::Private::onClientMessage(QWebSocket* client, const QString& text)
{
    const EventRequest request = parseEventRequest(text.toUtf8());
    if (!request.valid || !eventClients.contains(client))
        return;
    QSet<QString>& subscribed = eventClients[client];
    QJsonObject extra;
    bool success = true;
    if (request.action == QLatin1String("subscribe")) {
        subscribeRequests.append(request.message);
        QJsonArray accepted;
        QJsonObject current;
        for (const QString& property : request.properties) {
            const QString endpoint = endpointForProperty(property);
            if (endpoint.isEmpty() || value(endpoint).isUndefined())
                continue;
            subscribed.insert(property);
            accepted.append(property);
            current.insert(property, value(endpoint));
        }
        extra.insert(QStringLiteral("properties"), accepted);
        extra.insert(QStringLiteral("values"), current);
    } else if (request.action == QLatin1String("unsubscribe")) {
        for (const QString& property : request.properties)
            subscribed.remove(property);
        extra.insert(QStringLiteral("properties"), QJsonArray::fromStringList(request.properties));
    } else if (request.action == QLatin1String("listProperties")) {
        extra.insert(QStringLiteral("properties"), QJsonArray::fromStringList(subscribableProperties()));
    } else {
        success = false;
    }
    client->sendTextMessage(
        QString::fromUtf8(QJsonDocument(requestResponse(request, success, extra)).toJson(QJsonDocument::Compact)));
}

void CameraSimulator::Private::broadcast(const QJsonObject& message)
{
    const QString text = QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
    for (auto it = eventClients.cbegin(); it != eventClients.cend(); ++it)
        it.key()->sendTextMessage(text);
}

void CameraSimulator::Private::pushChange(const QString& endpoint)
{
    const QJsonValue current = value(endpoint);
    if (!current.isObject())
        return;
    const QJsonObject event = categoryEvent(endpoint, current.toObject());
    if (event.isEmpty())
        return;
    broadcast(event);
    const QString property = propertyForEndpoint(endpoint);
    if (property.isEmpty())
        return;
    const QString text =
        QString::fromUtf8(QJsonDocument(propertyValueChangedEvent(property, current)).toJson(QJsonDocument::Compact));
    for (auto it = eventClients.cbegin(); it != eventClients.cend(); ++it) {
        if (it.value().contains(property))
            it.key()->sendTextMessage(text);
    }
}
