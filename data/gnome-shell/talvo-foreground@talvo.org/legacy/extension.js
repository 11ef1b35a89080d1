// GNOME 43 and 44 load extensions as scripts that define init().
const {Gio, GLib, Meta} = imports.gi;

@TALVO_REPORTER@
class TalvoForegroundExtension {
    enable() {
        this._reporter = new TalvoReporter();
        this._reporter.enable();
    }

    disable() {
        this._reporter.disable();
        this._reporter = null;
    }
}

function init() {
    return new TalvoForegroundExtension();
}
