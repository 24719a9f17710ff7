#pragma once

#include "core/JobListModel.h"
#include "core/listrecord.h"
#include "engine/audio/IAudioFile2.h"

#include <QFileInfo>
#include <QString>

// Adds `source` to the job list as one whole-file row, measured by `reader`
// as the job list measures a file, with the given tags.
inline void AddWholeSource(JobListModel& lv, IAudioFile2& reader, const QString& source,
                           const AudioFileinfo& tags = {}) {
    reader.Open(source, 0, 1);
    listrecord record;
    record.FileName = source;
    record.Duration = reader.DurationMs() / 1000;
    record.SampleCount = reader.SampleCount();
    record.SampleRate = reader.SampleRate();
    record.Caption = QFileInfo(source).fileName();
    record.Tags = tags;
    record.BeginTimes = {0};
    record.EndTimes = {record.Duration};
    reader.Close();
    lv.append(record);
}
