// Prints what an independent Jet reader sees in FILE: its password, user tables and
// the values of TABLE.FIELD (base64; null for Null), as one JSON object.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, tableName, fieldName] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file));
const result = { password: reader.getPassword(), tables: reader.getTableNames() };
if (tableName) {
  const table = reader.getTable(tableName);
  result.rowCount = table.rowCount;
  result.values = table.getData({ columns: [fieldName] }).map((row) => {
    const v = row[fieldName];
    if (v === null || v === undefined) return null;
    return (Buffer.isBuffer(v) ? v : Buffer.from(String(v), "utf8")).toString("base64");
  });
}
process.stdout.write(JSON.stringify(result));
