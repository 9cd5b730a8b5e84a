// Loads the generated hero models the way the hero view does (assimp) and checks what would
// show on screen: that they load, have size and the right shape, their parts and materials,
// and that no face is turned inside out.

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path models = fs::path(TAMBOREL_TEST_RESOURCES) / "models";

struct Bounds {
    aiVector3D min{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                   std::numeric_limits<float>::max()};
    aiVector3D max{std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest(),
                   std::numeric_limits<float>::lowest()};
    aiVector3D size() const { return max - min; }
};

void collect(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent, Bounds& bounds,
             std::set<std::string>& names) {
    const aiMatrix4x4 transform = parent * node->mTransformation;
    if (node->mNumMeshes > 0)
        names.insert(node->mName.C_Str());
    for (unsigned m = 0; m < node->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[node->mMeshes[m]];
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            const aiVector3D p = transform * mesh->mVertices[v];
            bounds.min = {std::min(bounds.min.x, p.x), std::min(bounds.min.y, p.y),
                          std::min(bounds.min.z, p.z)};
            bounds.max = {std::max(bounds.max.x, p.x), std::max(bounds.max.y, p.y),
                          std::max(bounds.max.z, p.z)};
        }
    }
    for (unsigned c = 0; c < node->mNumChildren; ++c)
        collect(scene, node->mChildren[c], transform, bounds, names);
}

struct Loaded {
    Assimp::Importer importer;
    const aiScene* scene = nullptr;
    Bounds bounds;
    std::set<std::string> parts;

    explicit Loaded(const std::string& file) {
        scene = importer.ReadFile((models / file).string(),
                                  aiProcess_ValidateDataStructure | aiProcess_Triangulate);
        if (scene == nullptr || scene->mRootNode == nullptr)
            return;
        collect(scene, scene->mRootNode, aiMatrix4x4(), bounds, parts);
    }
};

// A face whose winding disagrees with its normals vanishes under back-face culling and is
// lit from the wrong side.
int facesTurnedInsideOut(const aiScene* scene) {
    int wrong = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[m];
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            const aiVector3D& a = mesh->mVertices[face.mIndices[0]];
            const aiVector3D& b = mesh->mVertices[face.mIndices[1]];
            const aiVector3D& c = mesh->mVertices[face.mIndices[2]];
            const aiVector3D normal = mesh->mNormals[face.mIndices[0]] +
                                      mesh->mNormals[face.mIndices[1]] +
                                      mesh->mNormals[face.mIndices[2]];
            if (((b - a) ^ (c - a)) * normal < 0.0f)
                ++wrong;
        }
    }
    return wrong;
}

// At the outermost points of a model, in every direction, the surface must face outwards;
// normals turned inwards light the model from inside and make it look hollow.
int directionsFacingInwards(const aiScene* scene) {
    int wrong = 0;
    const aiVector3D directions[] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                     {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
    for (const aiVector3D& d : directions) {
        float extreme = std::numeric_limits<float>::lowest();
        for (unsigned m = 0; m < scene->mNumMeshes; ++m)
            for (unsigned v = 0; v < scene->mMeshes[m]->mNumVertices; ++v)
                extreme = std::max(extreme, scene->mMeshes[m]->mVertices[v] * d);
        aiVector3D normals;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m)
            for (unsigned v = 0; v < scene->mMeshes[m]->mNumVertices; ++v)
                if (scene->mMeshes[m]->mVertices[v] * d > extreme - 1e-4f)
                    normals += scene->mMeshes[m]->mNormals[v];
        if (normals * d <= 0.0f)
            ++wrong;
    }
    return wrong;
}

// The average normal of the part held by the named node, or zero when there is none.
aiVector3D meanNormal(const aiScene* scene, const char* part) {
    const aiNode* node = scene->mRootNode->FindNode(part);
    aiVector3D sum;
    if (node == nullptr)
        return sum;
    unsigned count = 0;
    for (unsigned m = 0; m < node->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[node->mMeshes[m]];
        for (unsigned v = 0; v < mesh->mNumVertices; ++v, ++count)
            sum += mesh->mNormals[v];
    }
    return count == 0 ? sum : sum / static_cast<float>(count);
}

TEST(HeroModels, DrumLoadsAsARoundShellWithHeadsHoopsAndLugs) {
    Loaded drum("drum.dae");
    ASSERT_NE(drum.scene, nullptr) << drum.importer.GetErrorString();
    EXPECT_FALSE(drum.scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE);
    for (const char* part :
         {"shell", "batter_head", "resonant_head", "top_hoop", "bottom_hoop", "lugs"})
        EXPECT_TRUE(drum.parts.count(part)) << part;

    const aiVector3D size = drum.bounds.size();
    EXPECT_GT(size.y, 0.0f);
    EXPECT_NEAR(size.x, size.z, 0.01f * size.x); // round seen from above
    EXPECT_GT(size.x, size.y);                   // wider than deep, like a tom or snare
    EXPECT_LT(size.x, 3.0f * size.y);
    for (unsigned m = 0; m < drum.scene->mNumMeshes; ++m)
        EXPECT_TRUE(drum.scene->mMeshes[m]->HasNormals());
    EXPECT_EQ(facesTurnedInsideOut(drum.scene), 0);
    EXPECT_EQ(directionsFacingInwards(drum.scene), 0);
    // The heads sit inside the hoops, so check them on their own.
    EXPECT_GT(meanNormal(drum.scene, "batter_head").y, 0.9f);
    EXPECT_LT(meanNormal(drum.scene, "resonant_head").y, -0.9f);
}

TEST(HeroModels, CymbalLoadsAsAThinBronzeDiscWithBellAndBow) {
    Loaded cymbal("cymbal.dae");
    ASSERT_NE(cymbal.scene, nullptr) << cymbal.importer.GetErrorString();
    EXPECT_TRUE(cymbal.parts.count("bell"));
    EXPECT_TRUE(cymbal.parts.count("bow"));

    const aiVector3D size = cymbal.bounds.size();
    EXPECT_GT(size.y, 0.0f);
    EXPECT_NEAR(size.x, size.z, 0.01f * size.x);
    EXPECT_LT(size.y, 0.25f * size.x); // a flat disc, not a bowl

    ASSERT_GE(cymbal.scene->mNumMaterials, 1u);
    aiColor3D diffuse;
    const aiMaterial* bronze = cymbal.scene->mMaterials[cymbal.scene->mMeshes[0]->mMaterialIndex];
    ASSERT_EQ(bronze->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse), aiReturn_SUCCESS);
    EXPECT_GT(diffuse.r, diffuse.g);
    EXPECT_GT(diffuse.g, diffuse.b);
    for (unsigned m = 0; m < cymbal.scene->mNumMeshes; ++m)
        EXPECT_TRUE(cymbal.scene->mMeshes[m]->HasNormals());
    EXPECT_EQ(facesTurnedInsideOut(cymbal.scene), 0);
    EXPECT_EQ(directionsFacingInwards(cymbal.scene), 0);
}

} // namespace
