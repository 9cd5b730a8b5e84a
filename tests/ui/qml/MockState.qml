import QtQml

// Stands in for the application state: the published fields the components read and a log
// of the operations they call, as [name, arguments...].
QtObject {
    id: mock

    property var kit: ({ name: "Funk", masterVolume: 1, pads: [] })
    property var activeRoles: []
    property string learningRole: ""
    property string hoveredRole: ""
    property string heroRole: ""
    property bool capturingForAssign: false
    property string capturedRole: ""
    property var settings: ({ outputDeviceUID: null, bufferFrames: 256, sampleRate: 48000 })
    property var outputDevices: []
    property var midiSources: []
    property bool td17Detected: false
    property real latencyMs: 0
    property string bufferNote: ""
    property bool engineRunning: false
    property bool dirty: false
    property string lastHit: "\u2014"
    property var kits: []
    property var calls: []

    function record(entry) { calls = calls.concat([entry]); }
    function callsTo(name) { return calls.filter(c => c[0] === name); }

    function savedKits() { return kits; }
    function triggerManual(role) { record(["triggerManual", role]); }
    function startLearn(role) { record(["startLearn", role]); learningRole = role; }
    function armCaptureForAssign() { record(["armCaptureForAssign"]); capturingForAssign = true; }
    function cancelCapture() { record(["cancelCapture"]); capturingForAssign = false; }
    function assignSample(file, role) { record(["assignSample", String(file), role]); }
    function clearSample(role) { record(["clearSample", role]); }
    function importFolder(folder) { record(["importFolder", String(folder)]); }
    function importFiles(files) { record(["importFiles", files.map(f => String(f))]); }
    function newKit() { record(["newKit"]); }
    function saveKit() { record(["saveKit"]); dirty = false; }
    function loadKit(file) { record(["loadKit", String(file)]); }
    function importKit(file) { record(["importKit", String(file)]); }
    function exportKit(file) { record(["exportKit", String(file)]); }
    function renameKit(name) { record(["renameKit", name]); }
    function setVolume(v, role) { record(["setVolume", v, role]); }
    function setPan(p, role) { record(["setPan", p, role]); }
    function toggleMute(role) { record(["toggleMute", role]); }
    function toggleSolo(role) { record(["toggleSolo", role]); }
    function setMaster(v) { record(["setMaster", v]); }
    function refreshDevices() { record(["refreshDevices"]); }
    function refreshMIDISources() { record(["refreshMIDISources"]); }
    function applySettings(change) {
        record(["applySettings", change]);
        const next = Object.assign({}, settings);
        for (const key in change)
            next[key] = change[key];
        settings = next;
    }

    function pad(role, fields) {
        return Object.assign({ role: role, displayName: role, notes: [], sampleURL: "",
                               sampleName: "", hasSample: false, volume: 1, pan: 0,
                               muted: false, soloed: false }, fields || {});
    }
}
