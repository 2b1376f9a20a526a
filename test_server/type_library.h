#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace karvel::server {

// What the bus interface of the accounting server looks like: names, dispatch ids,
// signatures and error names shared by the factory, the objects and their description.
namespace tlb {

inline constexpr char kFactoryInterface[] = "KarvelC.ClassFactory";
inline constexpr char kDispatchInterface[] = "KarvelC.IDataControlServ";
inline constexpr char kUnknownInterface[] = "KarvelC.IUnknown";
inline constexpr char kConnectionPointInterface[] = "KarvelC.ConnectionPoint";
inline constexpr char kIntrospectableInterface[] = "org.freedesktop.DBus.Introspectable";

inline constexpr char kCountSignature[] = "ysdd"; // NetNum, Product, Count_C, Count_D
inline constexpr char kAdviseSignature[] = "so"; // sink bus name, sink path
inline constexpr char kUnadviseSignature[] = "u"; // cookie

inline constexpr char kErrorUnknownName[] = "org.freedesktop.DBus.Error.UnknownMethod";
inline constexpr char kErrorTypeMismatch[] = "org.freedesktop.DBus.Error.InvalidArgs";
inline constexpr char kErrorUnknownObject[] = "org.freedesktop.DBus.Error.UnknownObject";
inline constexpr char kErrorCannotConnect[] = "KarvelC.Error.CannotConnect";
inline constexpr char kErrorNoConnection[] = "KarvelC.Error.NoConnection";

// One method of the dispatch interface.
struct CountMethod {
    QString name; // "AddCountLine2"
    int dispId; // 202
    int line; // 2
};

// The eight methods in library order: AddCountLine1..4 (201..204), AddQXCountLine1..4
// (205..208).
const QList<CountMethod>& countMethods();
std::optional<CountMethod> findCountMethod(const QString& name);

// The factory object's path: "/" and the identifier with dots turned into slashes.
QString factoryPath(const QString& identifier);

// Introspection data of the factory (with its live objects as child nodes) and of one
// object.
QString factoryIntrospection(const QStringList& childNodes);
QString objectIntrospection();

} // namespace tlb
} // namespace karvel::server
