import QtQuick
import QtTest
import Tamborel

// The hero card against a stand-in for the application state, changed the way hit handling
// changes it: the hero role first, then the set of sounding roles.
TestCase {
    id: testCase
    name: "HeroPanel"
    width: 300
    height: 300
    when: windowShown
    visible: true

    Component {
        id: stateComponent
        QtObject {
            property string heroRole: ""
            property var activeRoles: []

            function hit(role) {
                heroRole = role;
                if (activeRoles.indexOf(role) < 0)
                    activeRoles = activeRoles.concat([role]);
            }
            function release(role) {
                activeRoles = activeRoles.filter(r => r !== role);
            }
        }
    }
    Component {
        id: panelComponent
        HeroPanel {}
    }

    function test_placeholderThenOneViewThatPopsForEachNewHit() {
        const state = createTemporaryObject(stateComponent, testCase);
        const panel = createTemporaryObject(panelComponent, testCase, { bridge: state });
        verify(findChild(panel, "placeholder").visible);
        verify(!findChild(panel, "roleName").visible);
        compare(panel.sceneView, null);

        // [action, role, pulses so far]: a new hero role and a new sounding set holding it
        // each count; a repeat while the role still sounds, or a set without it, does not.
        const steps = [["hit", "snare", 2], ["hit", "snare", 2], ["release", "snare", 2],
                       ["hit", "tom1", 4], ["hit", "tom2", 6], ["release", "tom1", 7],
                       ["release", "tom2", 7]];
        for (const [action, role, pulse] of steps) {
            state[action](role);
            compare(panel.pulse, pulse, action + " " + role);
        }
        verify(!findChild(panel, "placeholder").visible && findChild(panel, "roleName").visible);
        const view = panel.sceneView;
        compare(view.modelName, "drum");

        state.hit("crash1");
        state.hit("ride");
        verify(panel.sceneView === view, "a drummer's groove must not rebuild the 3-D view");
        compare(view.modelName, "cymbal");
        compare(findChild(panel, "roleName").text, "Ride");
        verify(findChild(view, "cymbalModel").shown && !findChild(view, "drumModel").shown);

        // The runner's resources hold no models: the card stays empty but named, and pops
        // nothing it cannot show.
        verify(!view.geometry.loaded);
        compare(view.coordinator.lastPulse, panel.pulse);
        compare(view.coordinator.pops, 0);
    }
}
