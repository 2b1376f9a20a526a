#include "type_library.h"

namespace karvel::server::tlb {
namespace {

const char kDocType[] =
    "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n";

QString introspectableXml()
{
    return QStringLiteral("  <interface name=\"%1\">\n"
                          "    <method name=\"Introspect\">\n"
                          "      <arg name=\"xml_data\" type=\"s\" direction=\"out\"/>\n"
                          "    </method>\n"
                          "  </interface>\n")
        .arg(QLatin1StringView(kIntrospectableInterface));
}

QString countMethodXml(const CountMethod& method)
{
    return QStringLiteral("    <method name=\"%1\">\n"
                          "      <arg name=\"NetNum\" type=\"y\" direction=\"in\"/>\n"
                          "      <arg name=\"Product\" type=\"s\" direction=\"in\"/>\n"
                          "      <arg name=\"Count_C\" type=\"d\" direction=\"in\"/>\n"
                          "      <arg name=\"Count_D\" type=\"d\" direction=\"in\"/>\n"
                          "      <annotation name=\"KarvelC.DispId\" value=\"%2\"/>\n"
                          "    </method>\n")
        .arg(method.name)
        .arg(method.dispId);
}

} // namespace

const QList<CountMethod>& countMethods()
{
    static const QList<CountMethod> methods = [] {
        QList<CountMethod> list;
        for (int line = 1; line <= 4; ++line)
            list.append({QStringLiteral("AddCountLine%1").arg(line), 200 + line, line});
        for (int line = 1; line <= 4; ++line)
            list.append({QStringLiteral("AddQXCountLine%1").arg(line), 204 + line, line});
        return list;
    }();
    return methods;
}

std::optional<CountMethod> findCountMethod(const QString& name)
{
    for (const CountMethod& method : countMethods()) {
        if (method.name == name)
            return method;
    }
    return std::nullopt;
}

QString factoryPath(const QString& identifier)
{
    QString path = identifier;
    path.replace(u'.', u'/');
    return u'/' + path;
}

QString factoryIntrospection(const QStringList& childNodes)
{
    QString xml = QLatin1StringView(kDocType) + QStringLiteral("<node>\n");
    xml += QStringLiteral("  <interface name=\"%1\">\n"
                          "    <method name=\"CreateObject\">\n"
                          "      <arg name=\"object\" type=\"o\" direction=\"out\"/>\n"
                          "    </method>\n"
                          "  </interface>\n")
               .arg(QLatin1StringView(kFactoryInterface));
    xml += introspectableXml();
    for (const QString& child : childNodes)
        xml += QStringLiteral("  <node name=\"%1\"/>\n").arg(child);
    return xml + QStringLiteral("</node>\n");
}

QString objectIntrospection()
{
    QString xml = QLatin1StringView(kDocType) + QStringLiteral("<node>\n");
    xml += QStringLiteral("  <interface name=\"%1\">\n").arg(QLatin1StringView(kDispatchInterface));
    for (const CountMethod& method : countMethods())
        xml += countMethodXml(method);
    xml += QStringLiteral("  </interface>\n");
    xml += QStringLiteral("  <interface name=\"%1\">\n"
                          "    <method name=\"Release\"/>\n"
                          "  </interface>\n")
               .arg(QLatin1StringView(kUnknownInterface));
    xml += QStringLiteral("  <interface name=\"%1\">\n"
                          "    <method name=\"Advise\">\n"
                          "      <arg name=\"bus_name\" type=\"s\" direction=\"in\"/>\n"
                          "      <arg name=\"path\" type=\"o\" direction=\"in\"/>\n"
                          "      <arg name=\"cookie\" type=\"u\" direction=\"out\"/>\n"
                          "    </method>\n"
                          "    <method name=\"Unadvise\">\n"
                          "      <arg name=\"cookie\" type=\"u\" direction=\"in\"/>\n"
                          "    </method>\n"
                          "  </interface>\n")
               .arg(QLatin1StringView(kConnectionPointInterface));
    xml += introspectableXml();
    return xml + QStringLiteral("</node>\n");
}

} // namespace karvel::server::tlb
