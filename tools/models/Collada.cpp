#include "Collada.h"

#include <cstdio>
#include <sstream>

namespace tamborel::tools {

namespace {

// Fixed formatting keeps the files byte-identical from build to build.
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value == 0.0 ? 0.0 : value);
    return text;
}

std::string colour(const std::array<double, 3>& c) {
    return number(c[0]) + " " + number(c[1]) + " " + number(c[2]) + " 1";
}

void writeArraySource(std::ostringstream& out, const std::string& id,
                      const std::vector<Vec3>& values, const char* names) {
    out << "        <source id=\"" << id << "\">\n"
        << "          <float_array id=\"" << id << "-array\" count=\"" << values.size() * 3
        << "\">";
    for (std::size_t i = 0; i < values.size(); ++i)
        out << (i ? " " : "") << number(values[i][0]) << " " << number(values[i][1]) << " "
            << number(values[i][2]);
    out << "</float_array>\n"
        << "          <technique_common>\n"
        << "            <accessor source=\"#" << id << "-array\" count=\"" << values.size()
        << "\" stride=\"3\">\n";
    for (const char* n = names; *n != '\0'; ++n)
        out << "              <param name=\"" << *n << "\" type=\"float\"/>\n";
    out << "            </accessor>\n"
        << "          </technique_common>\n"
        << "        </source>\n";
}

void writeEffects(std::ostringstream& out, const Model& model) {
    out << "  <library_effects>\n";
    for (const Material& m : model.materials) {
        out << "    <effect id=\"" << m.id << "-effect\">\n"
            << "      <profile_COMMON>\n"
            << "        <technique sid=\"common\">\n"
            << "          <phong>\n"
            << "            <emission><color sid=\"emission\">0 0 0 1</color></emission>\n"
            << "            <ambient><color sid=\"ambient\">0 0 0 1</color></ambient>\n"
            << "            <diffuse><color sid=\"diffuse\">" << colour(m.diffuse)
            << "</color></diffuse>\n"
            << "            <specular><color sid=\"specular\">" << colour(m.specular)
            << "</color></specular>\n"
            << "            <shininess><float sid=\"shininess\">" << number(m.shininess)
            << "</float></shininess>\n"
            << "          </phong>\n"
            << "        </technique>\n"
            << "      </profile_COMMON>\n"
            << "    </effect>\n";
    }
    out << "  </library_effects>\n";
    out << "  <library_materials>\n";
    for (const Material& m : model.materials)
        out << "    <material id=\"" << m.id << "\" name=\"" << m.id
            << "\"><instance_effect url=\"#" << m.id << "-effect\"/></material>\n";
    out << "  </library_materials>\n";
}

void writeGeometries(std::ostringstream& out, const Model& model) {
    out << "  <library_geometries>\n";
    for (const Mesh& mesh : model.meshes) {
        const std::string id = mesh.name + "-mesh";
        out << "    <geometry id=\"" << id << "\" name=\"" << mesh.name << "\">\n"
            << "      <mesh>\n";
        writeArraySource(out, id + "-positions", mesh.positions, "XYZ");
        writeArraySource(out, id + "-normals", mesh.normals, "XYZ");
        out << "        <vertices id=\"" << id << "-vertices\">\n"
            << "          <input semantic=\"POSITION\" source=\"#" << id << "-positions\"/>\n"
            << "          <input semantic=\"NORMAL\" source=\"#" << id << "-normals\"/>\n"
            << "        </vertices>\n"
            << "        <triangles material=\"" << mesh.material << "\" count=\""
            << mesh.indices.size() / 3 << "\">\n"
            << "          <input semantic=\"VERTEX\" source=\"#" << id
            << "-vertices\" offset=\"0\"/>\n"
            << "          <p>";
        for (std::size_t i = 0; i < mesh.indices.size(); ++i)
            out << (i ? " " : "") << mesh.indices[i];
        out << "</p>\n"
            << "        </triangles>\n"
            << "      </mesh>\n"
            << "    </geometry>\n";
    }
    out << "  </library_geometries>\n";
}

void writeScene(std::ostringstream& out, const Model& model) {
    out << "  <library_visual_scenes>\n"
        << "    <visual_scene id=\"Scene\" name=\"Scene\">\n"
        << "      <node id=\"" << model.name << "\" name=\"" << model.name << "\" type=\"NODE\">\n"
        << "        <matrix sid=\"transform\">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</matrix>\n";
    for (const Mesh& mesh : model.meshes) {
        out << "        <node id=\"" << mesh.name << "\" name=\"" << mesh.name
            << "\" type=\"NODE\">\n"
            << "          <instance_geometry url=\"#" << mesh.name << "-mesh\" name=\"" << mesh.name
            << "\">\n"
            << "            <bind_material>\n"
            << "              <technique_common>\n"
            << "                <instance_material symbol=\"" << mesh.material << "\" target=\"#"
            << mesh.material << "\"/>\n"
            << "              </technique_common>\n"
            << "            </bind_material>\n"
            << "          </instance_geometry>\n"
            << "        </node>\n";
    }
    out << "      </node>\n"
        << "    </visual_scene>\n"
        << "  </library_visual_scenes>\n"
        << "  <scene>\n"
        << "    <instance_visual_scene url=\"#Scene\"/>\n"
        << "  </scene>\n";
}

} // namespace

std::string colladaDocument(const Model& model) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        << "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
        << "  <asset>\n"
        << "    <contributor>\n"
        << "      <author>Tamborel</author>\n"
        << "      <authoring_tool>tamborel-gen-models</authoring_tool>\n"
        << "    </contributor>\n"
        // A fixed date: the document must not change from one build to the next.
        << "    <created>2024-01-01T00:00:00Z</created>\n"
        << "    <modified>2024-01-01T00:00:00Z</modified>\n"
        << "    <unit name=\"meter\" meter=\"1\"/>\n"
        << "    <up_axis>Y_UP</up_axis>\n"
        << "  </asset>\n";
    writeEffects(out, model);
    writeGeometries(out, model);
    writeScene(out, model);
    out << "</COLLADA>\n";
    return out.str();
}

} // namespace tamborel::tools
