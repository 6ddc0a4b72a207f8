#include "CameraRequestQueue.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <utility>
#include <vector>

namespace {

CameraResponse responseOf(QNetworkReply* reply)
{
    CameraResponse response;
    response.failed = reply->error() != QNetworkReply::NoError;
    response.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (response.failed)
        response.errorText = reply->errorString();
    else
        response.body = reply->readAll();
    return response;
}

} // namespace

CameraRequestQueue::CameraRequestQueue(QNetworkAccessManager* network, QObject* parent)
    : QObject(parent)
    , m_network(network)
{
}

void CameraRequestQueue::submit(CameraRequest request)
{
    switch (request.kind) {
    case CameraRequest::Kind::Setting: {
        for (auto waiting = m_commands.rbegin(); waiting != m_commands.rend(); ++waiting) {
            if (waiting->kind == CameraRequest::Kind::Action)
                break;
            if (waiting->key == request.key) {
                *waiting = std::move(request);
                dispatch();
                return;
            }
        }
        m_commands.push_back(std::move(request));
        break;
    }
    case CameraRequest::Kind::Action:
        m_commands.push_back(std::move(request));
        break;
    case CameraRequest::Kind::Probe:
        m_probes.push_back(std::move(request));
        break;
    case CameraRequest::Kind::Read:
        m_reads.push_back(std::move(request));
        break;
    }
    dispatch();
}

std::optional<CameraRequest> CameraRequestQueue::takeNext()
{
    const auto take = [](std::deque<CameraRequest>& queue, std::deque<CameraRequest>::iterator at) {
        CameraRequest request = std::move(*at);
        queue.erase(at);
        return request;
    };
    if (!m_actionInFlight) {
        for (auto waiting = m_commands.begin(); waiting != m_commands.end(); ++waiting) {
            if (waiting->kind == CameraRequest::Kind::Action) {
                if (waiting == m_commands.begin() && m_commandsInFlight == 0)
                    return take(m_commands, waiting);
                break;
            }
            if (!m_settingsInFlight.contains(waiting->key))
                return take(m_commands, waiting);
        }
    }
    if (!m_probes.empty())
        return take(m_probes, m_probes.begin());
    if (!m_reads.empty())
        return take(m_reads, m_reads.begin());
    return std::nullopt;
}

void CameraRequestQueue::dispatch()
{
    while (m_inFlight < maxInFlight) {
        std::optional<CameraRequest> next = takeNext();
        if (!next)
            return;
        send(std::move(*next));
    }
}

void CameraRequestQueue::send(CameraRequest request)
{
    const CameraRequest::Kind kind = request.kind;
    ++m_inFlight;
    if (kind == CameraRequest::Kind::Setting || kind == CameraRequest::Kind::Action) {
        ++m_commandsInFlight;
        if (kind == CameraRequest::Kind::Action)
            m_actionInFlight = true;
        else
            m_settingsInFlight.insert(request.key);
    }

    QNetworkReply* reply = nullptr;
    if (request.method == "GET")
        reply = m_network->get(request.request);
    else if (request.method == "PUT")
        reply = m_network->put(request.request, request.body);
    else if (request.method == "POST")
        reply = m_network->post(request.request, request.body);
    else
        reply = m_network->deleteResource(request.request);

    connect(reply, &QNetworkReply::finished, this,
            [this, reply, kind, key = std::move(request.key), finished = std::move(request.finished)] {
                reply->deleteLater();
                const CameraResponse response = responseOf(reply);
                --m_inFlight;
                if (kind == CameraRequest::Kind::Setting || kind == CameraRequest::Kind::Action) {
                    --m_commandsInFlight;
                    if (kind == CameraRequest::Kind::Action)
                        m_actionInFlight = false;
                    else
                        m_settingsInFlight.remove(key);
                }
                std::vector<CameraRequest> unsent;
                if (response.failed && response.httpStatus == 0) {
                    unsent.assign(std::make_move_iterator(m_reads.begin()), std::make_move_iterator(m_reads.end()));
                    m_reads.clear();
                }
                // Receivers run first, so that a follow-up they queue (the second half of a
                // ping) competes for the free slot by its kind.
                finished(response);
                CameraResponse unanswered;
                unanswered.failed = true;
                for (const CameraRequest& read : unsent)
                    read.finished(unanswered);
                dispatch();
            });
}
