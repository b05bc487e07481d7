// The trace's JSON lines: every kind of call with its members in the method's
// argument order, numbers that read back exactly, escaped names, and the
// start-up mark.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/d3dx_math.h"
#include "tools/trace/trace_json.h"

namespace {

TEST(TraceJson, SpellsEveryCallWithItsArgumentsInOrder)
{
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 0.5f, 0.25f, 0};
    light.Ambient = {0.125f, 0, 0, 1};
    light.Direction = {0, -1, 0};
    light.Range = 1000;
    light.Attenuation0 = 1;
    const D3DMATERIAL9 material{{0.5f, 0.5f, 0.5f, 1}, {0, 0, 0, 0}, {1, 1, 1, 1}, {0, 0, 0.75f, 0}, 5};

    const std::vector<std::pair<DeviceCall, std::string>> cases = {
        {ClearCall{3, 0xFF0000FF, 1, 0}, R"({"call":"Clear","flags":3,"color":"0xFF0000FF","z":1,"stencil":0})"},
        {BeginSceneCall{}, R"({"call":"BeginScene"})"},
        {EndSceneCall{}, R"({"call":"EndScene"})"},
        {PresentCall{}, R"({"call":"Present"})"},
        {SetRenderStateCall{D3DRS_SPECULARMATERIALSOURCE, 0},
         R"({"call":"SetRenderState","state":"SPECULARMATERIALSOURCE","value":0})"},
        {SetRenderStateCall{static_cast<D3DRENDERSTATETYPE>(8), 2},
         R"({"call":"SetRenderState","state":"UNKNOWN","value":2})"},
        {SetTransformCall{D3DTS_PROJECTION, D3DXMatrixTranslation(1, 2, 3)},
         R"({"call":"SetTransform","state":"PROJECTION","matrix":[1,0,0,0,0,1,0,0,0,0,1,0,1,2,3,1]})"},
        {SetLightCall{0, light},
         R"({"call":"SetLight","index":0,"light":{"Type":3,"Diffuse":[1,0.5,0.25,0],"Specular":[0,0,0,0],)"
         R"("Ambient":[0.125,0,0,1],"Position":[0,0,0],"Direction":[0,-1,0],"Range":1000,"Falloff":0,)"
         R"("Attenuation0":1,"Attenuation1":0,"Attenuation2":0,"Theta":0,"Phi":0}})"},
        {LightEnableCall{1, false}, R"({"call":"LightEnable","index":1,"enable":false})"},
        {SetMaterialCall{material},
         R"({"call":"SetMaterial","material":{"Diffuse":[0.5,0.5,0.5,1],"Ambient":[0,0,0,0],)"
         R"("Specular":[1,1,1,1],"Emissive":[0,0,0.75,0],"Power":5}})"},
        {SpriteBeginCall{D3DXSPRITE_SORT_DEPTH_BACKTOFRONT}, R"({"call":"SpriteBegin","flags":128})"},
        {SpriteSetTransformCall{D3DXMatrixScaling(2, 2, 1)},
         R"({"call":"SpriteSetTransform","matrix":[2,0,0,0,0,2,0,0,0,0,1,0,0,0,0,1]})"},
        {SpriteDrawCall{"vinyl.png", {1024, 1024, 0}, 0x80FFFFFF},
         R"({"call":"SpriteDraw","texture":"vinyl.png","center":[1024,1024,0],"color":"0x80FFFFFF"})"},
        {SpriteEndCall{}, R"({"call":"SpriteEnd"})"},
        {DrawSubsetCall{"cube", 7}, R"({"call":"DrawSubset","mesh":"cube","subset":7})"},
    };
    for (const auto& [call, json] : cases) {
        EXPECT_EQ(callJson(call, false), json);
    }
}

TEST(TraceJson, FloatsReadBackExactlyAndNamesAreEscaped)
{
    EXPECT_EQ(jsonFloat(0.1f), "0.100000001");
    EXPECT_EQ(jsonFloat(-1e-7f), "-1.00000001e-07");
    EXPECT_EQ(jsonFloat(123456789.0f), "123456792");
    EXPECT_EQ(callJson(ClearCall{1, 0x0000000A, 0.1f, 0}, false),
              R"({"call":"Clear","flags":1,"color":"0x0000000A","z":0.100000001,"stencil":0})");

    // A quote and a backslash are escaped; control bytes and bytes above ASCII become \u00XX.
    EXPECT_EQ(callJson(SpriteDrawCall{"./font/\"\\\xC4\t.png", {0, 0, 0}, 0}, false),
              R"({"call":"SpriteDraw","texture":"./font/\"\\\u00c4\u0009.png","center":[0,0,0],)"
              R"("color":"0x00000000"})");
}

TEST(TraceJson, StartUpCallsEndWithTheStartupMember)
{
    EXPECT_EQ(callJson(SetRenderStateCall{D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, true),
              R"({"call":"SetRenderState","state":"SRCBLEND","value":5,"startup":true})");
    EXPECT_EQ(callJson(BeginSceneCall{}, true), R"({"call":"BeginScene","startup":true})");
}

}  // namespace
