
const t = `a ${b + `c ${d}` /* e */} f
${'g'}`;
/* long
 * comment "x" */
const re = /a\/b[/]/g; let Big = new Thing("q\"r", 'it\'s'); // Trailing(x)
const el = <div className="x">{`y${z}`}</div>;
