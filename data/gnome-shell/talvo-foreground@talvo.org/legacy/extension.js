// GNOME 43 and 44 load extensions as scripts whose init() returns an object
// that is enabled and disabled.
const {Gio, GLib, Meta} = imports.gi;

@TALVO_REPORTER@
function init() {
    return new TalvoReporter();
}
