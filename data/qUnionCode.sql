-- Every account code of the masters and of either side of the journal, once each. The
-- journal's codes are found by skipping through the account indexes (one probe per distinct
-- code) instead of reading every row.
WITH RECURSIVE
 l(code) AS (SELECT (SELECT MIN(Lcode) FROM shiwake WHERE Lcode > '')
   UNION ALL SELECT (SELECT MIN(Lcode) FROM shiwake WHERE Lcode > l.code) FROM l WHERE l.code IS NOT NULL),
 r(code) AS (SELECT (SELECT MIN(Rcode) FROM shiwake WHERE Rcode > '')
   UNION ALL SELECT (SELECT MIN(Rcode) FROM shiwake WHERE Rcode > r.code) FROM r WHERE r.code IS NOT NULL)
SELECT code FROM Kamoku
UNION SELECT code FROM l WHERE code IS NOT NULL
UNION SELECT code FROM r WHERE code IS NOT NULL
