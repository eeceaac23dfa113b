#include "serveroptions.h"

namespace {

// Options a real server understands but this phone has nothing to simulate for.
const QStringList acceptedKeys{"log_level",
                               "stay_awake",
                               "show_touches",
                               "power_off_on_close",
                               "cleanup",
                               "power_on",
                               "tunnel_forward",
                               "audio_bit_rate",
                               "video_codec_options",
                               "audio_codec_options",
                               "video_encoder",
                               "audio_encoder",
                               "display_id",
                               "crop",
                               "downsize_on_error",
                               "list_encoders",
                               "list_displays",
                               "list_cameras",
                               "list_camera_sizes",
                               "video_source",
                               "audio_source",
                               "audio_dup",
                               "camera_id",
                               "camera_size",
                               "camera_facing",
                               "camera_ar",
                               "camera_fps",
                               "camera_high_speed",
                               "new_display",
                               "vd_destroy_content",
                               "vd_system_decorations",
                               "screen_off_timeout",
                               "capture_orientation",
                               "angle",
                               "display_ime_policy",
                               "raw_stream",
                               "send_device_meta",
                               "send_frame_meta",
                               "send_dummy_byte",
                               "send_codec_meta",
                               "list_apps",
                               "max_size_policy"};

bool parseBool(const QString &value)
{
    return value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<ServerOptions> ServerOptions::parse(const QStringList &arguments, QString *error)
{
    ServerOptions options;
    auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return std::nullopt;
    };
    for (const QString &argument : arguments) {
        const int equals = argument.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return fail(QStringLiteral("Invalid key=value pair: \"%1\"").arg(argument));
        const QString key = argument.left(equals);
        const QString value = argument.mid(equals + 1);
        bool ok = true;
        if (key == QLatin1String("video")) {
            options.video = parseBool(value);
        } else if (key == QLatin1String("audio")) {
            options.audio = parseBool(value);
        } else if (key == QLatin1String("tunnel_forward")) {
            options.tunnelForward = parseBool(value);
        } else if (key == QLatin1String("control")) {
            options.control = parseBool(value);
        } else if (key == QLatin1String("clipboard_autosync")) {
            options.clipboardAutosync = parseBool(value);
        } else if (key == QLatin1String("max_size")) {
            options.maxSize = value.toInt(&ok);
            ok = ok && options.maxSize >= 0;
        } else if (key == QLatin1String("max_fps")) {
            options.maxFps = value.toDouble(&ok);
            ok = ok && options.maxFps >= 0;
        } else if (key == QLatin1String("video_bit_rate")) {
            options.videoBitRate = value.toInt(&ok);
            ok = ok && options.videoBitRate >= 0;
        } else if (key == QLatin1String("video_codec")) {
            options.videoCodec = value;
        } else if (key == QLatin1String("audio_codec")) {
            options.audioCodec = value;
        } else if (key == QLatin1String("scid")) {
            options.scid = value.toLongLong(&ok, 16);
            ok = ok && (options.scid == -1 || (options.scid >= 0 && options.scid <= 0x7FFFFFFF));
        } else if (!acceptedKeys.contains(key)) {
            options.unknownKeys << key;
        }
        if (!ok)
            return fail(QStringLiteral("Invalid value for %1: \"%2\"").arg(key, value));
    }
    if (options.videoCodec != QLatin1String("h264"))
        return fail(QStringLiteral("Unsupported video codec: %1").arg(options.videoCodec));
    if (options.audio && options.audioCodec != QLatin1String("opus"))
        return fail(QStringLiteral("Unsupported audio codec: %1").arg(options.audioCodec));
    if (!options.video && !options.audio && !options.control)
        return fail(QStringLiteral("At least one of video, audio or control must be enabled"));
    return options;
}

QString ServerOptions::socketName() const
{
    if (scid < 0)
        return QStringLiteral("scrcpy");
    return QStringLiteral("scrcpy_%1").arg(scid, 8, 16, QLatin1Char('0'));
}
