#pragma once

#include <QTemporaryDir>

// A home of the benchmark's own: cameras.json, settings and logs never reach the user's folders.
// Made before the application object, which reads these variables.
struct BenchHome {
    QTemporaryDir dir;
    BenchHome()
    {
        for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
            qputenv(variable, dir.path().toUtf8());
    }
    QString path() const { return dir.path(); }
};
