// The bundled house: a small scene that uses what the viewer draws, for people to
// look at rather than to measure.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "xgl_generator.h"

namespace xglgen {
namespace {

struct Vec {
    double x, y, z;
};

Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

class Scene {
  public:
    void add(const std::string& s) { m_text += s; }
    void addf(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
        char line[512];
        va_list args;
        va_start(args, fmt);
        std::vsnprintf(line, sizeof line, fmt, args);
        va_end(args);
        m_text += line;
    }

    // A flat polygon of three or four corners, counter-clockwise seen from the
    // side its normal points to; `tc` gives texture coordinates per corner.
    void face(int material, std::initializer_list<Vec> corners, const double (*tc)[2] = nullptr,
              int texture = 0) {
        const Vec* c = corners.begin();
        const Vec n = unit(cross(c[1] - c[0], c[2] - c[0]));
        const int triangles = corners.size() == 4 ? 2 : 1;
        for (int t = 0; t < triangles; ++t) {
            const int order[3] = {0, t + 1, t + 2};
            addf("<F><MATREF>%d</MATREF>", material);
            if (texture != 0) addf("<TEXTUREREF>%d</TEXTUREREF>", texture);
            for (int v = 0; v < 3; ++v) {
                const Vec& p = c[order[v]];
                addf("<FV%d><P>%.3f,%.3f,%.3f</P><N>%.4f,%.4f,%.4f</N>", v + 1, p.x, p.y, p.z, n.x,
                     n.y, n.z);
                if (tc != nullptr) addf("<TC>%.3f,%.3f</TC>", tc[order[v]][0], tc[order[v]][1]);
                addf("</FV%d>", v + 1);
            }
            add("</F>\n");
        }
    }

    // An axis-aligned box with its six sides facing out.
    void box(int material, Vec lo, Vec hi) {
        face(material,
             {{lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}});
        face(material,
             {{hi.x, lo.y, lo.z}, {lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}});
        face(material,
             {{hi.x, lo.y, hi.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}});
        face(material,
             {{lo.x, lo.y, lo.z}, {lo.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}});
        face(material,
             {{lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}});
        face(material,
             {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z}});
    }

    void line(int material, Vec a, Vec b) {
        addf(
            "<L><MATREF>%d</MATREF><LINESTYLEREF>1</LINESTYLEREF>"
            "<LV1><P>%.3f,%.3f,%.3f</P></LV1><LV2><P>%.3f,%.3f,%.3f</P></LV2></L>\n",
            material, a.x, a.y, a.z, b.x, b.y, b.z);
    }

    void point(int material, Vec p) {
        addf(
            "<PT><MATREF>%d</MATREF><POINTSTYLEREF>1</POINTSTYLEREF>"
            "<PV1><P>%.3f,%.3f,%.3f</P></PV1></PT>\n",
            material, p.x, p.y, p.z);
    }

    const std::string& text() const { return m_text; }

  private:
    static Vec unit(Vec v) {
        const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        return {v.x / length, v.y / length, v.z / length};
    }

    std::string m_text;
};

enum Material { kGrass = 1, kWall, kRoof, kBrick, kDoor, kGlass, kFence, kFlower, kFrame };

void writeAppearance(Scene& s) {
    s.add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<WORLD>\n<NAME>House</NAME>\n");
    s.add("<BACKGROUND><BACKCOLOR>0.72,0.84,0.96</BACKCOLOR></BACKGROUND>\n");
    // A warm key light from the upper left and a cool fill from the right.
    s.add(
        "<LIGHTING><AMBIENT>0.25,0.25,0.25</AMBIENT>\n"
        "<DIRECTIONALLIGHT><DIRECTION>-0.4,0.5,0.8</DIRECTION><DIFFUSE>0.9,0.85,0.75</DIFFUSE>"
        "<SPECULAR>0.6,0.6,0.6</SPECULAR></DIRECTIONALLIGHT>\n"
        "<DIRECTIONALLIGHT><DIRECTION>0.8,0.1,0.5</DIRECTION><DIFFUSE>0.3,0.35,0.5</DIFFUSE>"
        "</DIRECTIONALLIGHT>\n</LIGHTING>\n");
    s.add("<LINESTYLE ID=\"1\"><LINEWIDTH>2</LINEWIDTH></LINESTYLE>\n");
    s.add("<POINTSTYLE ID=\"1\"><POINTSIZE>6</POINTSIZE></POINTSTYLE>\n");
    const struct {
        int id;
        const char* diffuse;
        const char* extra;
    } materials[] = {
        {kGrass, "1,1,1", ""},
        {kWall, "0.93,0.87,0.72", ""},
        {kRoof, "0.70,0.16,0.12", "<SPEC>0.4,0.4,0.4</SPEC><SHINE>30</SHINE>"},
        {kBrick, "0.50,0.25,0.20", ""},
        {kDoor, "0.40,0.24,0.10", "<SPEC>0.3,0.3,0.3</SPEC><SHINE>10</SHINE>"},
        {kGlass, "0.45,0.70,0.95", "<SPEC>1,1,1</SPEC><SHINE>80</SHINE><ALPHA>0.45</ALPHA>"},
        {kFence, "0.30,0.20,0.10", ""},
        {kFlower, "0.95,0.20,0.55", "<EMISS>0.4,0.1,0.2</EMISS>"},
        {kFrame, "0.95,0.95,0.95", ""},
    };
    for (const auto& m : materials) {
        s.addf("<MAT ID=\"%d\"><AMB>0.3,0.3,0.3</AMB><DIFF>%s</DIFF>%s</MAT>\n", m.id, m.diffuse,
               m.extra);
    }
    // Grass: an 8 x 8 check of two greens, repeated over the ground.
    s.add("<TEXTURE ID=\"1\"><TEXTURERGB WIDTH=\"8\" HEIGHT=\"8\">");
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            s.add((x + y) % 2 == 0 ? "4C9A3A" : "3A7D2C");
    }
    s.add("</TEXTURERGB><MODULATE/><REPEAT/></TEXTURE>\n");
}

// Walls 4 wide, 2.4 high, 3 deep, centred on the origin; the front faces +z.
void writeHouse(Scene& s) {
    s.box(kWall, {-2, 0, -1.5}, {2, 2.4, 1.5});
    // Roof: two slopes overhanging the walls, and the gables under them.
    const double eave = 2.4, ridge = 3.8, ox = 2.25, oz = 1.75;
    s.face(kRoof, {{-ox, eave, oz}, {ox, eave, oz}, {ox, ridge, 0}, {-ox, ridge, 0}});
    s.face(kRoof, {{ox, eave, -oz}, {-ox, eave, -oz}, {-ox, ridge, 0}, {ox, ridge, 0}});
    s.face(kRoof, {{-ox, eave, -oz}, {-ox, eave, oz}, {-ox, ridge, 0}});
    s.face(kRoof, {{ox, eave, oz}, {ox, eave, -oz}, {ox, ridge, 0}});
    s.box(kBrick, {0.9, 2.9, -0.9}, {1.4, 4.3, -0.4});
    s.box(kDoor, {-0.4, 0, 1.5}, {0.4, 1.6, 1.56});
    // Windows: a white frame behind a pane of glass, on the front and on the right.
    for (const double x : {-1.4, 1.0}) {
        s.box(kFrame, {x - 0.05, 0.95, 1.5}, {x + 0.45, 1.85, 1.52});
        s.face(kGlass,
               {{x, 1.0, 1.56}, {x + 0.4, 1.0, 1.56}, {x + 0.4, 1.8, 1.56}, {x, 1.8, 1.56}});
    }
    s.box(kFrame, {2.0, 0.95, -0.55}, {2.02, 1.85, 0.55});
    s.face(kGlass, {{2.06, 1.0, 0.5}, {2.06, 1.0, -0.5}, {2.06, 1.8, -0.5}, {2.06, 1.8, 0.5}});
}

void writeGarden(Scene& s) {
    const double g = 3.8, repeat = 5;
    const double tc[4][2] = {{0, 0}, {repeat, 0}, {repeat, repeat}, {0, repeat}};
    s.face(kGrass, {{-g, 0, g}, {g, 0, g}, {g, 0, -g}, {-g, 0, -g}}, tc, 1);
    // A fence of posts and two rails along the front edge, open at the path.
    for (const double side : {-1.0, 1.0}) {
        for (int i = 0; i <= 5; ++i) {
            const double x = side * (1 + i * 0.5);
            s.line(kFence, {x, 0, 3.3}, {x, 0.8, 3.3});
        }
        for (const double y : {0.35, 0.7})
            s.line(kFence, {side * 1, y, 3.3}, {side * 3.5, y, 3.3});
    }
    // Flowers in a bed before the walls.
    for (int i = 0; i < 9; ++i) {
        const double x = -1.9 + 0.18 * i;
        s.point(kFlower, {x, 0.15 + 0.05 * (i % 2), 1.9 + 0.12 * (i % 3)});
        s.point(kFlower, {-x, 0.15 + 0.05 * (i % 2), 1.9 + 0.12 * (i % 2)});
    }
}

}  // namespace

std::string generateShowcase() {
    Scene s;
    writeAppearance(s);
    s.add("<MESH>\n");
    writeHouse(s);
    writeGarden(s);
    s.add("</MESH>\n</WORLD>\n");
    return s.text();
}

}  // namespace xglgen
