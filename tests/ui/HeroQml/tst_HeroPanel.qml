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

    function makePanel() {
        const state = createTemporaryObject(stateComponent, testCase);
        const panel = createTemporaryObject(panelComponent, testCase, { bridge: state });
        return { state: state, panel: panel };
    }

    function test_placeholderUntilTheFirstHitThenTheRoleName() {
        const { state, panel } = makePanel();
        verify(findChild(panel, "placeholder").visible);
        verify(!findChild(panel, "roleName").visible);
        compare(panel.sceneView, null);

        state.hit("snare");
        verify(!findChild(panel, "placeholder").visible);
        verify(findChild(panel, "roleName").visible);
        compare(findChild(panel, "roleName").text, "Snare");
        verify(panel.sceneView !== null);
        compare(panel.sceneView.modelName, "drum");
    }

    function test_pulseRules() {
        const { state, panel } = makePanel();
        state.hit("snare");
        compare(panel.pulse, 2, "the new hero role and the new sounding set each count");

        state.hit("snare");
        compare(panel.pulse, 2, "a repeat while the role still sounds changes nothing");

        state.release("snare");
        compare(panel.pulse, 2, "the set changed but no longer holds the hero role");

        // A then B within the sounding window: A leaving still changes the set, and it holds
        // the hero role B.
        state.hit("tom1");
        compare(panel.pulse, 4);
        state.hit("tom2");
        compare(panel.pulse, 6);
        state.release("tom1");
        compare(panel.pulse, 7);
        state.release("tom2");
        compare(panel.pulse, 7);
    }

    function test_oneViewFollowsEveryModelChange() {
        const { state, panel } = makePanel();
        state.hit("snare");
        const view = panel.sceneView;
        state.hit("crash1");
        state.hit("tom1");
        state.hit("ride");
        verify(panel.sceneView === view, "a drummer's groove must not rebuild the 3-D view");
        compare(view.modelName, "cymbal");
        compare(view.pulse, panel.pulse);
        compare(findChild(panel, "roleName").text, "Ride");
        verify(findChild(view, "cymbalModel").shown && !findChild(view, "drumModel").shown);
    }

    function test_aMissingModelLeavesAnEmptyCardWithTheName() {
        // The runner's resources hold no models.
        const { state, panel } = makePanel();
        state.hit("ride");
        verify(!panel.sceneView.geometry.loaded);
        verify(!findChild(panel, "placeholder").visible);
        verify(findChild(panel, "roleName").visible);
        compare(panel.sceneView.coordinator.lastPulse, panel.pulse);
        compare(panel.sceneView.coordinator.pops, 0);
    }
}
